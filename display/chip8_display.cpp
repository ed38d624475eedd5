#include "display/chip8_display.h"

#include "chip8/screen_cells.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {
using CellRow = std::array<std::uint32_t, chip8CellPixels>;
// One pixel row of a cell for each of its four looks: dark, plane 1, plane 2, both.
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

// The four picture rows of one screen row.
using PixelRowsOfCells = std::array<std::uint32_t*, chip8CellPixels>;
// One screen row's cells.
using RowCells = std::array<std::uint8_t, chip8ScreenWidth>;

// Reads a screen row's cells as relaxed atomic words: a scroll running on the other
// thread can shift whole cells but never split one.
void readCells(const Chip8Machine& machine, std::uint32_t row, RowCells& cells) {
    constexpr std::size_t words = chip8ScreenWidth / screenWordCells;
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint64_t word = readScreenWord(machine, row * words + i);
        std::memcpy(cells.data() + i * screenWordCells, &word, sizeof(word));
    }
}

using RowWriter = void (*)(const PixelRowsOfCells&, const RowCells&);

// A screen row's cells one by one into its four picture rows (rows 0 and 3 of a cell
// are its edge, 1 and 2 its middle).
void writeRowPlain(const PixelRowsOfCells& rows, const RowCells& cells) {
    for (std::uint32_t cell = 0; cell < chip8ScreenWidth; ++cell) {
        const std::size_t at = std::size_t{cell} * chip8CellPixels;
        const unsigned look = cells[cell] & 3u;
        std::memcpy(rows[0] + at, edgeLooks[look].data(), sizeof(CellRow));
        std::memcpy(rows[1] + at, middleLooks[look].data(), sizeof(CellRow));
        std::memcpy(rows[2] + at, middleLooks[look].data(), sizeof(CellRow));
        std::memcpy(rows[3] + at, edgeLooks[look].data(), sizeof(CellRow));
    }
}

#if defined(__x86_64__)
// With AVX-512 a block of four cells' pixels in one picture row is one 64-byte store,
// computed in registers: the cells' looks pick the pixels' colours from one register.
[[gnu::target("avx512f")]] void writeRowWithAvx512(const PixelRowsOfCells& rows,
                                                   const RowCells& cells) {
    // Colours 0-3: a look's rim (the unlit colour for a dark cell), 4-7: its core.
    const __m512i colours = _mm512_setr_epi32(
        static_cast<int>(chip8UnlitColour), static_cast<int>(chip8RimColour),
        static_cast<int>(chip8SecondPlaneRimColour), static_cast<int>(chip8BothPlanesRimColour),
        static_cast<int>(chip8UnlitColour), static_cast<int>(chip8CoreColour),
        static_cast<int>(chip8SecondPlaneCoreColour), static_cast<int>(chip8BothPlanesCoreColour),
        0, 0, 0, 0, 0, 0, 0, 0);
    // Each pixel's cell among the four, and the core of the middle rows' pixels.
    const __m512i cellOfPixel = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const __m512i middleCore = _mm512_setr_epi32(0, 4, 4, 0, 0, 4, 4, 0, 0, 4, 4, 0, 0, 4, 4, 0);
    const __m512i lookBits = _mm512_set1_epi32(3);
    // The zero-masking forms with every lane kept: the plain ones start from an
    // undefined vector that this compiler reports as uninitialised.
    constexpr __mmask16 allLanes = 0xFFFF;
    for (std::uint32_t cell = 0; cell < chip8ScreenWidth; cell += 4) {
        std::uint32_t four;
        std::memcpy(&four, cells.data() + cell, sizeof(four));
        const __m512i looks = _mm512_and_si512(
            _mm512_maskz_permutexvar_epi32(
                allLanes, cellOfPixel,
                _mm512_maskz_cvtepu8_epi32(allLanes, _mm_cvtsi32_si128(static_cast<int>(four)))),
            lookBits);
        const __m512i edge = _mm512_maskz_permutexvar_epi32(allLanes, looks, colours);
        const __m512i middle =
            _mm512_maskz_permutexvar_epi32(allLanes, _mm512_or_si512(looks, middleCore), colours);
        const std::size_t at = std::size_t{cell} * chip8CellPixels;
        _mm512_store_si512(rows[0] + at, edge);
        _mm512_store_si512(rows[1] + at, middle);
        _mm512_store_si512(rows[2] + at, middle);
        _mm512_store_si512(rows[3] + at, edge);
    }
}

// Chosen while the program loads, before the processor's features are otherwise known.
const RowWriter widestWriter = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") ? writeRowWithAvx512 : writeRowPlain;
}();
#else
const RowWriter widestWriter = writeRowPlain;
#endif

// The widest stores need rows that start on 64-byte boundaries, as a display's do.
void writeRow(const PixelRowsOfCells& rows, const RowCells& cells) {
    const bool aligned = std::all_of(rows.begin(), rows.end(), [](const std::uint32_t* row) {
        return reinterpret_cast<std::uintptr_t>(row) % 64 == 0;
    });
    (aligned ? widestWriter : writeRowPlain)(rows, cells);
}

bool turnsSideways(std::uint16_t degrees) {
    return degrees == 90 || degrees == 270;
}

PixelRowsOfCells rowsOfCells(const PixelRows& rows, std::uint32_t screenRow) {
    const std::uint32_t y = screenRow * chip8CellPixels;
    return {rows.row(y), rows.row(y + 1), rows.row(y + 2), rows.row(y + 3)};
}
} // namespace

void drawChip8Screen(const Chip8Machine& machine, const PixelRows& rows) {
    RowCells cells;
    for (std::uint32_t y = 0; y < chip8ScreenHeight; ++y) {
        readCells(machine, y, cells);
        writeRow(rowsOfCells(rows, y), cells);
    }
}

Chip8Display::Chip8Display(const Chip8Machine& machine, std::uint16_t rotation)
    : PictureDisplay(turnsSideways(rotation) ? chip8PictureHeight : chip8PictureWidth,
                     turnsSideways(rotation) ? chip8PictureWidth : chip8PictureHeight, 1),
      machine_(machine), rotation_(rotation) {
    if (rotation_ != 0) {
        unturned_.resize(std::size_t{chip8PictureWidth} * chip8PictureHeight);
    }
}

void turnPixels(const std::vector<std::uint32_t>& from, std::uint32_t width, std::uint32_t height,
                std::uint16_t degrees, const PixelRows& to) {
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint32_t* row = from.data() + std::size_t{y} * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            switch (degrees) {
            case 90: to.row(x)[height - 1 - y] = row[x]; break;
            case 180: to.row(height - 1 - y)[width - 1 - x] = row[x]; break;
            case 270: to.row(width - 1 - x)[y] = row[x]; break;
            default: to.row(y)[x] = row[x]; break;
            }
        }
    }
}

void Chip8Display::convert() {
    if (!hasPicture()) {
        return;
    }
    if (rotation_ != 0) {
        // A turned picture is rare and small: drawn as it stands, then turned, whole.
        drawChip8Screen(machine_, PixelRows{unturned_.data(), chip8PictureWidth});
        turnPixels(unturned_, chip8PictureWidth, chip8PictureHeight, rotation_, rows());
        noteConverted(nullptr);
        return;
    }
    // A game changes few cells in a frame: comparing 8 KB of cells spares writing most
    // of the 512 KB picture, and tells the window which parts it need not copy again.
    RowCells cells;
    for (std::uint32_t y = 0; y < chip8ScreenHeight; ++y) {
        readCells(machine_, y, cells);
        RowCells& last = cells_[y];
        FrameSpan changed{0, chip8ScreenWidth};
        if (drawn_) {
            while (changed.first < changed.end && cells[changed.first] == last[changed.first]) {
                ++changed.first;
            }
            while (changed.end > changed.first && cells[changed.end - 1] == last[changed.end - 1]) {
                --changed.end;
            }
        }
        FrameSpan pixels{};
        if (changed.first < changed.end) {
            writeRow(rowsOfCells(rows(), y), cells);
            last = cells;
            pixels = {changed.first * chip8CellPixels, changed.end * chip8CellPixels};
        }
        std::fill_n(changedColumns_.begin() + y * chip8CellPixels, chip8CellPixels, pixels);
    }
    noteConverted(drawn_ ? changedColumns_.data() : nullptr);
    drawn_ = true;
}
