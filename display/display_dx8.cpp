#include "display/display_dx8.h"

#include "chip8/screen_cells.h"
#include "machine/machine_settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <thread>

namespace {
constexpr std::uint32_t maxWidth = chip8ScreenWidth * chip8CellTexels;
constexpr std::uint32_t maxHeight = chip8ScreenHeight * chip8CellTexels;

using CellRow = std::array<std::uint32_t, chip8CellTexels>;
// One texel row of a cell for each of its four looks: dark, plane 1, plane 2, both.
using CellLooks = std::array<CellRow, 4>;

constexpr CellRow unlitRow = {chip8UnlitColour, chip8UnlitColour, chip8UnlitColour,
                              chip8UnlitColour};
constexpr CellRow edgeRow(std::uint32_t rim) {
    return {rim, rim, rim, rim};
}
constexpr CellRow middleRow(std::uint32_t rim, std::uint32_t core) {
    return {rim, core, core, rim};
}

// Rows 0 and 3 of a lit cell are all rim, rows 1 and 2 are rim, core, core, rim.
constexpr CellLooks edgeLooks = {unlitRow, edgeRow(chip8RimColour),
                                 edgeRow(chip8SecondPlaneRimColour),
                                 edgeRow(chip8BothPlanesRimColour)};
constexpr CellLooks middleLooks = {unlitRow, middleRow(chip8RimColour, chip8CoreColour),
                                   middleRow(chip8SecondPlaneRimColour, chip8SecondPlaneCoreColour),
                                   middleRow(chip8BothPlanesRimColour, chip8BothPlanesCoreColour)};

void writeTexelRow(std::uint32_t* texels, const std::uint8_t* cells, std::uint32_t width,
                   const CellLooks& looks) {
    const std::uint32_t wholeCells = width / chip8CellTexels;
    for (std::uint32_t cell = 0; cell < wholeCells; ++cell) {
        std::memcpy(texels + cell * chip8CellTexels, looks[cells[cell] & 3u].data(),
                    sizeof(CellRow));
    }
    for (std::uint32_t x = wholeCells * chip8CellTexels; x < width; ++x) {
        texels[x] = looks[cells[wholeCells] & 3u][x % chip8CellTexels];
    }
}
} // namespace

void convertChip8Screen(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                        std::uint32_t height) {
    width = std::min(width, maxWidth);
    height = std::min(height, maxHeight);
    const std::size_t rowBytes = std::size_t{width} * sizeof(std::uint32_t);
    std::array<std::uint8_t, chip8ScreenWidth> cells{};
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint32_t rowInCell = y % chip8CellTexels;
        // Each screen row is read once for its four texel rows, so a scroll running on
        // the other thread can shift whole cells but never split one.
        if (rowInCell == 0) {
            const std::size_t first = std::size_t{y / chip8CellTexels} * chip8ScreenWidth;
            for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
                cells[column] = readScreenCell(machine, first + column);
            }
        }
        std::uint32_t* texels = image.row(y);
        switch (rowInCell) {
        case 0: writeTexelRow(texels, cells.data(), width, edgeLooks); break;
        case 1: writeTexelRow(texels, cells.data(), width, middleLooks); break;
        case 2: std::memcpy(texels, image.row(y - 1), rowBytes); break;
        case 3: std::memcpy(texels, image.row(y - 3), rowBytes); break;
        }
    }
}

DisplayDx8::DisplayDx8(Chip8Machine& machine) : machine(machine) {
    constructDirectDisplay(direct,
                           chip8CellTexels * std::min(machine.screenWidth, chip8ScreenWidth),
                           chip8CellTexels * std::min(machine.screenHeight, chip8ScreenHeight));
}

DisplayDx8::~DisplayDx8() {
    releaseDirectDisplay(direct);
}

void DisplayDx8::convert() {
    LockedImage image;
    if (!beginConvert(direct, image)) {
        return;
    }
    convertChip8Screen(machine, image, direct.width, direct.height);
    endConvert(direct);
}

void DisplayDx8::present() {
    if (direct.device == nullptr || direct.texture == nullptr) {
        // Nothing to show on; let other threads run instead of spinning on the mutex.
        std::this_thread::yield();
        return;
    }
    presentDirectDisplay(direct);
}

void renderStart() {
    chip8.display.reset(new (std::nothrow) DisplayDx8(chip8));
}

void renderStep() {
    if (flickerFilter.load(std::memory_order_relaxed) != 0 && chip8.eraseFlag != 0) {
        return;
    }
    if (chip8.display) {
        chip8.display->convert();
        chip8.display->present();
    }
}

void renderStop() {
    chip8.display.reset();
}
