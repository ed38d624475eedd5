#include "display/display_dx8.h"

#include "chip8/screen_cells.h"
#include "machine/machine_settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
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

// One screen row's cells, read as relaxed atomic words: a scroll running on the other
// thread can shift whole cells but never split one.
using RowCells = std::array<std::uint8_t, chip8ScreenWidth>;

void readCells(const Chip8Machine& machine, std::uint32_t row, RowCells& cells) {
    constexpr std::size_t words = chip8ScreenWidth / screenWordCells;
    for (std::size_t i = 0; i < words; ++i) {
        const std::uint64_t word = readScreenWord(machine, row * words + i);
        std::memcpy(cells.data() + i * screenWordCells, &word, sizeof(word));
    }
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
// `writeWholeRows` may write the four texel rows of a whole-width screen row a faster
// way and return true, or leave them to the general code below.
template <class WholeRows>
[[gnu::always_inline]] inline void convertScreen(const Chip8Machine& machine,
                                                 const LockedImage& image, std::uint32_t width,
                                                 std::uint32_t height, WholeRows writeWholeRows) {
    width = std::min(width, maxWidth);
    height = std::min(height, maxHeight);
    const std::uint32_t wholePairs = width / pairTexels;
    RowCells cells{};
    // A whole screen row at a time: its four texel rows written side by side, from one
    // reading of its cells.
    for (std::uint32_t y = 0; y + chip8CellTexels <= height; y += chip8CellTexels) {
        readCells(machine, y / chip8CellTexels, cells);
        const TexelRows rows = {image.row(y), image.row(y + 1), image.row(y + 2), image.row(y + 3)};
        if (width == maxWidth && writeWholeRows(rows, cells)) {
            continue;
        }
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
        readCells(machine, y / chip8CellTexels, cells);
        for (std::uint32_t r = 0; r < lastRows; ++r) {
            writePartialRow(image.row(y + r), cells.data(), width,
                            r == 0 ? edgeLooks : middleLooks);
        }
    }
}

// No faster way than the general one.
bool noWholeRows(const TexelRows& /*rows*/, const RowCells& /*cells*/) {
    return false;
}

void convertPlain(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                  std::uint32_t height) {
    convertScreen(machine, image, width, height, noWholeRows);
}

using Converter = void (*)(const Chip8Machine&, const LockedImage&, std::uint32_t, std::uint32_t);

#if defined(__x86_64__)
// Built twice: with AVX2 a cell pair's block is one 32-byte store, which is what lets
// the conversion keep pace with a plain fill of the texture.
[[gnu::target("avx2")]] void convertWithAvx2(const Chip8Machine& machine, const LockedImage& image,
                                             std::uint32_t width, std::uint32_t height) {
    convertScreen(machine, image, width, height, noWholeRows);
}

// With AVX-512 a block of four cells' texels in one texel row is one 64-byte store,
// computed in registers: the cells' looks pick the texels' colours from one register.
constexpr std::size_t blockCells = 4;
constexpr std::size_t blockBytes = blockCells * sizeof(CellRow);

// The four texel rows of a whole screen row, when they all start the same distance past
// a 64-byte boundary and that distance is a whole number of cells: the cells up to the
// first boundary one by one, then blocks of four cells, then the cells left.
[[gnu::target("avx512f")]] bool writeBlocksWithAvx512(const TexelRows& rows,
                                                      const RowCells& cells) {
    const std::uintptr_t phase = reinterpret_cast<std::uintptr_t>(rows[0]) % blockBytes;
    for (const std::uint32_t* row : rows) {
        if (reinterpret_cast<std::uintptr_t>(row) % blockBytes != phase) {
            return false;
        }
    }
    if (phase % sizeof(CellRow) != 0) {
        return false;
    }
    const std::uint32_t head = (blockBytes - phase) % blockBytes / sizeof(CellRow);
    for (std::uint32_t cell = 0; cell < head; ++cell) {
        writeCell(rows, cells.data(), cell);
    }
    // Colours 0-3: a look's rim (the unlit colour for a dark cell), 4-7: its core.
    const __m512i colours = _mm512_setr_epi32(
        static_cast<int>(chip8UnlitColour), static_cast<int>(chip8RimColour),
        static_cast<int>(chip8SecondPlaneRimColour), static_cast<int>(chip8BothPlanesRimColour),
        static_cast<int>(chip8UnlitColour), static_cast<int>(chip8CoreColour),
        static_cast<int>(chip8SecondPlaneCoreColour), static_cast<int>(chip8BothPlanesCoreColour),
        0, 0, 0, 0, 0, 0, 0, 0);
    // Each texel's cell among the four, and the core of the middle rows' texels.
    const __m512i cellOfTexel = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const __m512i middleCore = _mm512_setr_epi32(0, 4, 4, 0, 0, 4, 4, 0, 0, 4, 4, 0, 0, 4, 4, 0);
    const __m512i lookBits = _mm512_set1_epi32(3);
    // The zero-masking forms with every lane kept: the plain ones start from an
    // undefined vector that this compiler reports as uninitialised.
    constexpr __mmask16 allLanes = 0xFFFF;
    std::uint32_t cell = head;
    for (; cell + blockCells <= chip8ScreenWidth; cell += blockCells) {
        std::uint32_t four;
        std::memcpy(&four, cells.data() + cell, sizeof(four));
        const __m512i looks = _mm512_and_si512(
            _mm512_maskz_permutexvar_epi32(
                allLanes, cellOfTexel,
                _mm512_maskz_cvtepu8_epi32(allLanes, _mm_cvtsi32_si128(static_cast<int>(four)))),
            lookBits);
        const __m512i edge = _mm512_maskz_permutexvar_epi32(allLanes, looks, colours);
        const __m512i middle =
            _mm512_maskz_permutexvar_epi32(allLanes, _mm512_or_si512(looks, middleCore), colours);
        const std::size_t at = std::size_t{cell} * chip8CellTexels;
        _mm512_store_si512(rows[0] + at, edge);
        _mm512_store_si512(rows[1] + at, middle);
        _mm512_store_si512(rows[2] + at, middle);
        _mm512_store_si512(rows[3] + at, edge);
    }
    for (; cell < chip8ScreenWidth; ++cell) {
        writeCell(rows, cells.data(), cell);
    }
    return true;
}

[[gnu::target("avx512f")]] void convertWithAvx512(const Chip8Machine& machine,
                                                  const LockedImage& image, std::uint32_t width,
                                                  std::uint32_t height) {
    convertScreen(machine, image, width, height, writeBlocksWithAvx512);
}

// Chosen while the program loads, before the processor's features are otherwise known.
const Converter converter = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) {
        return convertWithAvx512;
    }
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

DisplayDx8::DisplayDx8(Chip8Machine& machine, std::uint16_t rotation)
    : machine(machine), rotation_(rotation) {
    const std::uint32_t width = chip8CellTexels * std::min(machine.screenWidth, chip8ScreenWidth);
    const std::uint32_t height =
        chip8CellTexels * std::min(machine.screenHeight, chip8ScreenHeight);
    if (rotation_ != 0) {
        unturned_.resize(std::size_t{width} * height);
    }
    if (rotationTurnsSideways(rotation_)) {
        constructDirectDisplay(direct, height, width);
    } else {
        constructDirectDisplay(direct, width, height);
    }
}

void turnTexels(const std::vector<std::uint32_t>& from, std::uint32_t width, std::uint32_t height,
                std::uint16_t degrees, const LockedImage& to) {
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

DisplayDx8::~DisplayDx8() {
    releaseDirectDisplay(direct);
}

void DisplayDx8::convert() {
    LockedImage image;
    if (!beginConvert(direct, image)) {
        return;
    }
    if (rotation_ == 0) {
        convertChip8Screen(machine, image, direct.width, direct.height);
    } else {
        // A turned picture is rare and small: converted as it stands, then turned.
        const bool sideways = rotationTurnsSideways(rotation_);
        const std::uint32_t width = sideways ? direct.height : direct.width;
        const std::uint32_t height = sideways ? direct.width : direct.height;
        const LockedImage unturned{unturned_.data(), static_cast<std::int32_t>(width * 4)};
        convertChip8Screen(machine, unturned, width, height);
        turnTexels(unturned_, width, height, rotation_, image);
    }
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

void DisplayDx8::skipRefresh() const {
    if (direct.device != nullptr) {
        waitForDeviceRefresh(*direct.device);
    }
}
