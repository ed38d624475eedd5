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

// Two neighbouring cells' texels in one texel row, for each pair of looks (the first
// cell's look in bits 0-1 of the index, the second's in bits 2-3), so that a pair is
// written as one 32-byte block.
using PairRow = std::array<std::uint32_t, 2 * chip8CellTexels>;
using PairLooks = std::array<PairRow, 16>;

constexpr PairLooks pairLooks(const CellLooks& looks) {
    PairLooks pairs{};
    for (std::uint32_t index = 0; index < 16; ++index) {
        for (std::uint32_t x = 0; x < chip8CellTexels; ++x) {
            pairs[index][x] = looks[index & 3u][x];
            pairs[index][chip8CellTexels + x] = looks[index >> 2][x];
        }
    }
    return pairs;
}

alignas(32) constexpr PairLooks edgePairs = pairLooks(edgeLooks);
alignas(32) constexpr PairLooks middlePairs = pairLooks(middleLooks);

constexpr std::uint32_t pairTexels = 2 * chip8CellTexels;
// The four texel rows of one screen row.
using TexelRows = std::array<std::uint32_t*, chip8CellTexels>;

// A pair's block as one vector, so that with AVX2 it is a single 32-byte store (a copy
// of 32 bytes is made of 16-byte moves).
using PairBlock [[gnu::vector_size(sizeof(PairRow))]] = std::uint32_t;

template <bool Aligned>
[[gnu::always_inline]] inline void storePair(std::uint32_t* to, const PairRow& from) {
    if constexpr (Aligned) {
        *reinterpret_cast<PairBlock*>(to) = *reinterpret_cast<const PairBlock*>(from.data());
    } else {
        std::memcpy(to, from.data(), sizeof(PairRow));
    }
}

// Cells first, first + 1, ... as `pairs` pairs into the four texel rows (rows 0 and 3 of
// a cell are its edge, 1 and 2 its middle); Aligned when each pair's block starts on a
// 32-byte boundary.
template <bool Aligned>
[[gnu::always_inline]] inline void writePairs(const TexelRows& rows, const std::uint8_t* cells,
                                              std::uint32_t first, std::uint32_t pairs) {
    for (std::uint32_t pair = 0; pair < pairs; ++pair) {
        const std::uint32_t cell = first + 2 * pair;
        const unsigned look = (cells[cell] & 3u) | (cells[cell + 1] & 3u) << 2;
        const std::size_t at = std::size_t{cell} * chip8CellTexels;
        storePair<Aligned>(rows[0] + at, edgePairs[look]);
        storePair<Aligned>(rows[1] + at, middlePairs[look]);
        storePair<Aligned>(rows[2] + at, middlePairs[look]);
        storePair<Aligned>(rows[3] + at, edgePairs[look]);
    }
}

void writeCell(const TexelRows& rows, const std::uint8_t* cells, std::uint32_t cell) {
    const std::size_t at = std::size_t{cell} * chip8CellTexels;
    const unsigned look = cells[cell] & 3u;
    std::memcpy(rows[0] + at, edgeLooks[look].data(), sizeof(CellRow));
    std::memcpy(rows[1] + at, middleLooks[look].data(), sizeof(CellRow));
    std::memcpy(rows[2] + at, middleLooks[look].data(), sizeof(CellRow));
    std::memcpy(rows[3] + at, edgeLooks[look].data(), sizeof(CellRow));
}

// Where a row starts against a 32-byte boundary.
std::uintptr_t phaseOf(const std::uint32_t* row) {
    return reinterpret_cast<std::uintptr_t>(row) % sizeof(PairRow);
}

// The first `width` texels of one texel row from the screen row's cells.
void writePartialRow(std::uint32_t* texels, const std::uint8_t* cells, std::uint32_t width,
                     const CellLooks& looks) {
    for (std::uint32_t x = 0; x < width; ++x) {
        texels[x] = looks[cells[x / chip8CellTexels] & 3u][x % chip8CellTexels];
    }
}
} // namespace

namespace {
[[gnu::always_inline]] inline void convertScreen(const Chip8Machine& machine,
                                                 const LockedImage& image, std::uint32_t width,
                                                 std::uint32_t height) {
    width = std::min(width, maxWidth);
    height = std::min(height, maxHeight);
    const std::uint32_t wholePairs = width / pairTexels;
    std::array<std::uint8_t, chip8ScreenWidth> cells{};
    // A whole screen row at a time: its four texel rows written side by side.
    for (std::uint32_t y = 0; y + chip8CellTexels <= height; y += chip8CellTexels) {
        // Each screen row is read once for its four texel rows, so a scroll running on
        // the other thread can shift whole cells but never split one.
        const std::size_t first = std::size_t{y / chip8CellTexels} * chip8ScreenWidth;
        for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
            cells[column] = readScreenCell(machine, first + column);
        }
        const TexelRows rows = {image.row(y), image.row(y + 1), image.row(y + 2), image.row(y + 3)};
        const std::uintptr_t phase = phaseOf(rows[0]);
        const bool samePhase =
            phaseOf(rows[1]) == phase && phaseOf(rows[2]) == phase && phaseOf(rows[3]) == phase;
        // A whole row whose pairs, or whose pairs after the first cell, start on 32-byte
        // boundaries: the usual texture.
        if (width == maxWidth && samePhase && phase == 0) {
            writePairs<true>(rows, cells.data(), 0, chip8ScreenWidth / 2);
            continue;
        }
        if (width == maxWidth && samePhase && phase == sizeof(CellRow)) {
            writeCell(rows, cells.data(), 0);
            writePairs<true>(rows, cells.data(), 1, chip8ScreenWidth / 2 - 1);
            writeCell(rows, cells.data(), chip8ScreenWidth - 1);
            continue;
        }
        writePairs<false>(rows, cells.data(), 0, wholePairs);
        const std::uint32_t done = wholePairs * pairTexels;
        const std::uint8_t* const rest = cells.data() + wholePairs * 2;
        writePartialRow(rows[0] + done, rest, width - done, edgeLooks);
        writePartialRow(rows[1] + done, rest, width - done, middleLooks);
        writePartialRow(rows[2] + done, rest, width - done, middleLooks);
        writePartialRow(rows[3] + done, rest, width - done, edgeLooks);
    }
    // A height that ends inside a screen row: its first texel rows.
    const std::uint32_t lastRows = height % chip8CellTexels;
    if (lastRows != 0) {
        const std::uint32_t y = height - lastRows;
        const std::size_t first = std::size_t{y / chip8CellTexels} * chip8ScreenWidth;
        for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
            cells[column] = readScreenCell(machine, first + column);
        }
        for (std::uint32_t r = 0; r < lastRows; ++r) {
            writePartialRow(image.row(y + r), cells.data(), width,
                            r == 0 ? edgeLooks : middleLooks);
        }
    }
}

void convertPlain(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                  std::uint32_t height) {
    convertScreen(machine, image, width, height);
}

using Converter = void (*)(const Chip8Machine&, const LockedImage&, std::uint32_t, std::uint32_t);

#if defined(__x86_64__)
// Built twice: with AVX2 a cell pair's block is one 32-byte store, which is what lets
// the conversion keep pace with a plain fill of the texture.
[[gnu::target("avx2")]] void convertWithAvx2(const Chip8Machine& machine, const LockedImage& image,
                                             std::uint32_t width, std::uint32_t height) {
    convertScreen(machine, image, width, height);
}

// Chosen while the program loads, before the processor's features are otherwise known.
const Converter converter = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? convertWithAvx2 : convertPlain;
}();
#else
const Converter converter = convertPlain;
#endif
} // namespace

void convertChip8Screen(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                        std::uint32_t height) {
    converter(machine, image, width, height);
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
    // Every look is opaque and the conversion fills the whole texture, so the window may
    // show the texture itself.
    endConvert(direct, {true, 1});
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
