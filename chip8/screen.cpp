#include "chip8/screen.h"

#include "chip8/chip8_machine.h"
#include "chip8/screen_cells.h"
#include "platform/console_log.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::size_t wordsPerRow = chip8ScreenWidth / screenWordCells;

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
    std::uint32_t columns;     // sprite bits per row, 8 or 16
    std::uint32_t startColumn; // buffer column of the sprite's left edge
    std::uint8_t vy;
};

// Sprite row r as a mask over the buffer's columns from the first cell of the word
// where the sprite's left edge lies: bit c set = that column + c flips. At most
// 7 + 32 columns (a 16-pixel low-resolution row), so five words at most.
[[gnu::always_inline]] inline std::uint64_t rowMask(const Chip8Machine& machine, const Plane& plane,
                                                    const Placement& at, std::uint32_t r) {
    std::uint64_t mask = 0;
    if (at.columns == 8) {
        const std::uint8_t bits = spriteByte(machine, plane, r);
        mask = at.high ? leftFirstBits[bits] : leftFirstDoubledBits[bits];
    } else {
        const std::uint8_t left = spriteByte(machine, plane, 2 * r);
        const std::uint8_t right = spriteByte(machine, plane, 2 * r + 1);
        mask = at.high
                   ? std::uint64_t{leftFirstBits[left]} | std::uint64_t{leftFirstBits[right]} << 8
                   : std::uint64_t{leftFirstDoubledBits[left]} |
                         std::uint64_t{leftFirstDoubledBits[right]} << 16;
    }
    return mask << (at.startColumn % screenWordCells);
}

// XORs the plane's bit into every cell of the buffer rows (one row, or the two of a
// low-resolution pixel) whose column is set in the mask, eight cells at a time; reports
// whether any of those cells was lit in that plane before. Words past the right edge
// wrap to the left one, or, when the rules clip, are dropped whole: the edge lies on a
// word boundary. The cells of one draw are all different, so testing each as it flips
// is the same as testing all first, and a low-resolution block counts as lit when any
// of its four cells is.
template <std::uint32_t RowCount>
bool flipRows(Chip8Machine& machine, std::uint64_t mask, const Placement& at,
              std::uint32_t firstRow, std::uint8_t bit) {
    auto* const rowWords =
        reinterpret_cast<ScreenWord*>(machine.screen.data()) + firstRow * wordsPerRow;
    const std::uint32_t firstWord = at.startColumn / screenWordCells;
    std::uint64_t seen = 0;
    for (std::uint32_t k = 0; mask != 0; ++k, mask >>= 8) {
        const auto bits = static_cast<std::uint8_t>(mask);
        std::uint32_t word = firstWord + k;
        if (word >= wordsPerRow) {
            if (at.clips) {
                break;
            }
            word -= wordsPerRow;
        }
        if (bits == 0) {
            continue;
        }
        const std::uint64_t flips = cellsOfBits[bits] * bit;
        for (std::uint32_t r = 0; r < RowCount; ++r) {
            ScreenWord* const cells = rowWords + r * wordsPerRow + word;
            // "tExecute" is the only writer, so its own plain reads race with nothing;
            // the store is a relaxed atomic word, as the renderer's cell reads expect.
            const std::uint64_t before = *cells;
            seen |= before & flips;
            __atomic_store_n(cells, before ^ flips, __ATOMIC_RELAXED);
        }
    }
    return seen != 0;
}

// Draws one plane's rows: row r lands on logical row vy + r, wrapped, or when the rules
// clip, the start wraps and the rows past the bottom edge are dropped.
template <bool High>
void drawPlane(Chip8Machine& machine, const Plane& plane, const Placement& at, std::uint32_t rows) {
    constexpr std::uint32_t cellsPerPixel = High ? 1 : 2;
    constexpr std::uint32_t height = chip8ScreenHeight / cellsPerPixel;
    for (std::uint32_t r = 0; r < rows; ++r) {
        std::uint32_t row = (at.vy & (height - 1)) + r;
        if (row >= height) {
            if (at.clips) {
                break;
            }
            row -= height;
        }
        if (!High && r == 15 && at.columns == 8) {
            // Once per column, as each of the row's pixels is placed.
            for (std::uint32_t c = 0; c < 8; ++c) {
                logMessage("Sprite 8x16!");
            }
        }
        const std::uint64_t mask = rowMask(machine, plane, at, r);
        if (flipRows<cellsPerPixel>(machine, mask, at, row * cellsPerPixel, plane.bit)) {
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
    const std::uint32_t startColumn =
        high ? vx & (chip8ScreenWidth - 1) : 2 * (vx & (chip8ScreenWidth / 2 - 1));
    const Placement at{high, clips, columns, startColumn, vy};
    machine.eraseFlag = 0;
    // With both planes selected, plane 2's sprite follows plane 1's in memory.
    std::uint32_t firstByte = 0;
    for (const std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
        if ((machine.planes & bit) == 0) {
            continue;
        }
        if (high) {
            drawPlane<true>(machine, Plane{firstByte, bit}, at, rows);
        } else {
            drawPlane<false>(machine, Plane{firstByte, bit}, at, rows);
        }
        firstByte += rows * columns / 8;
    }
    machine.V[0xF] = machine.eraseFlag;
    unlockFromOutside(renderWorker);
}
