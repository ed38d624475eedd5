#include "chip8/screen.h"

#include "chip8/chip8_machine.h"
#include "chip8/screen_cells.h"
#include "platform/console_log.h"

#include <array>
#include <bit>
#include <cstddef>

namespace {
// A sprite row placed on the buffer: bit c set = buffer column c flips. 128 columns.
using RowMask = unsigned __int128;
constexpr std::uint32_t maskColumns = 128;
static_assert(chip8ScreenWidth == maskColumns);

// The eight bits of a sprite byte with the leftmost (most significant) first: bit c of
// the result is the sprite's column c.
constexpr std::array<std::uint8_t, 256> leftFirstBits = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned c = 0; c < 8; ++c) {
            table[b] |= static_cast<std::uint8_t>(((b >> (7 - c)) & 1u) << c);
        }
    }
    return table;
}();

// The same for a low-resolution byte, every pixel two buffer columns wide.
constexpr std::array<std::uint16_t, 256> leftFirstDoubledBits = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned c = 0; c < 8; ++c) {
            table[b] |= static_cast<std::uint16_t>(((b >> (7 - c)) & 1u) * (3u << (2 * c)));
        }
    }
    return table;
}();

// Eight columns of a mask as eight cells of a screen word holding 1 where the bit is set.
constexpr std::array<std::uint64_t, 256> cellsOfBits = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned c = 0; c < 8; ++c) {
            table[b] |= std::uint64_t{(b >> c) & 1u} << (8 * c);
        }
    }
    return table;
}();

// One plane's sprite: where its bytes start (an offset from I) and its bit in a cell.
struct Plane {
    std::uint32_t firstByte;
    std::uint8_t bit;
};

std::uint8_t spriteByte(const Chip8Machine& machine, const Plane& plane, std::uint32_t offset) {
    return machine.memory[(machine.I + plane.firstByte + offset) & machine.rules.addressMask];
}

// A draw's geometry in buffer cells: how each sprite row becomes a mask, where its
// columns start, and whether the rows and columns wrap or stop at the edge.
struct Placement {
    bool high;
    bool clips;
    std::uint32_t columns; // sprite bits per row, 8 or 16
    std::uint32_t startColumn; // buffer column of the sprite's left edge
    std::uint8_t vy;
};

// Sprite row r as a mask over the buffer's columns, wrapped past the right edge or,
// when the rules clip, cut there.
RowMask rowMask(const Chip8Machine& machine, const Plane& plane, const Placement& at,
                std::uint32_t r) {
    RowMask mask = 0;
    if (at.columns == 8) {
        const std::uint8_t bits = spriteByte(machine, plane, r);
        mask = at.high ? leftFirstBits[bits] : leftFirstDoubledBits[bits];
    } else {
        const std::uint8_t left = spriteByte(machine, plane, 2 * r);
        const std::uint8_t right = spriteByte(machine, plane, 2 * r + 1);
        mask = at.high ? RowMask{leftFirstBits[left]} | RowMask{leftFirstBits[right]} << 8
                       : RowMask{leftFirstDoubledBits[left]} |
                             RowMask{leftFirstDoubledBits[right]} << 16;
    }
    const std::uint32_t shift = at.startColumn;
    if (at.clips || shift == 0) {
        return mask << shift;
    }
    return mask << shift | mask >> (maskColumns - shift);
}

// XORs the plane's bit into every cell of the buffer rows whose column is set in the
// mask (one row, or the two of a low-resolution pixel), eight cells at a time; reports
// whether any of those cells was lit in that plane before. The cells of one draw are
// all different, so testing each as it flips is the same as testing all first, and a
// low-resolution block counts as lit when any of its four cells is.
bool flipRows(Chip8Machine& machine, RowMask mask, std::uint32_t firstRow, std::uint32_t rowCount,
              std::uint8_t bit) {
    auto* words = reinterpret_cast<ScreenWord*>(machine.screen.data());
    constexpr std::size_t wordsPerRow = chip8ScreenWidth / screenWordCells;
    std::uint64_t seen = 0;
    for (std::uint32_t half = 0; half < 2; ++half) {
        auto part = static_cast<std::uint64_t>(mask >> (64 * half));
        while (part != 0) {
            const auto byteIndex = static_cast<unsigned>(std::countr_zero(part)) / 8;
            const auto bits = static_cast<std::uint8_t>(part >> (8 * byteIndex));
            part &= ~(std::uint64_t{0xFF} << (8 * byteIndex));
            const std::uint64_t flips = cellsOfBits[bits] * bit;
            const std::size_t column = std::size_t{half} * 8 + byteIndex;
            for (std::uint32_t r = 0; r < rowCount; ++r) {
                ScreenWord* const word = words + (firstRow + r) * wordsPerRow + column;
                // "tExecute" is the only writer, so its own plain reads race with nothing;
                // the store is a relaxed atomic word, as the renderer's cell reads expect.
                const std::uint64_t before = *word;
                seen |= before & flips;
                __atomic_store_n(word, before ^ flips, __ATOMIC_RELAXED);
            }
        }
    }
    return seen != 0;
}

// Draws one plane's rows: row r lands on logical row vy + r, wrapped, or when the rules
// clip, the start wraps and the rows past the bottom edge are dropped.
void drawPlane(Chip8Machine& machine, const Plane& plane, const Placement& at, std::uint32_t rows) {
    const std::uint32_t height = at.high ? chip8ScreenHeight : chip8ScreenHeight / 2;
    const std::uint32_t cellsPerPixel = at.high ? 1 : 2;
    for (std::uint32_t r = 0; r < rows; ++r) {
        std::uint32_t row = (at.vy & (height - 1)) + r;
        if (row >= height) {
            if (at.clips) {
                break;
            }
            row -= height;
        }
        if (!at.high && r == 15 && at.columns == 8) {
            // Once per column, as each of the row's pixels is placed.
            for (std::uint32_t c = 0; c < 8; ++c) {
                logMessage("Sprite 8x16!");
            }
        }
        const RowMask mask = rowMask(machine, plane, at, r);
        if (flipRows(machine, mask, row * cellsPerPixel, cellsPerPixel, plane.bit)) {
            machine.eraseFlag = 1;
        }
    }
}

} // namespace

void drawChip8Sprite(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy, std::uint8_t n) {
    WorkerThread* const renderWorker = machine.tickHoldsRender ? nullptr : machine.renderWorker;
    lockFromOutside(renderWorker);
    const std::uint32_t rows = n != 0 ? n : 16;
    const bool clips = machine.rules.clipsSprites;
    const bool high = machine.hiRes != 0;
    const std::uint32_t columns =
        n == 0 && (high || machine.rules.wideLowResolutionSprite) ? 16 : 8;
    const std::uint32_t startColumn = high ? vx & (chip8ScreenWidth - 1)
                                           : 2 * (vx & (chip8ScreenWidth / 2 - 1));
    const Placement at{high, clips, columns, startColumn, vy};
    machine.eraseFlag = 0;
    // With both planes selected, plane 2's sprite follows plane 1's in memory.
    std::uint32_t firstByte = 0;
    for (const std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
        if ((machine.planes & bit) == 0) {
            continue;
        }
        drawPlane(machine, Plane{firstByte, bit}, at, rows);
        firstByte += rows * columns / 8;
    }
    machine.V[0xF] = machine.eraseFlag;
    unlockFromOutside(renderWorker);
}
