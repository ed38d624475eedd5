#include "chip8/screen.h"

#include "chip8/chip8_machine.h"
#include "chip8/screen_cells.h"
#include "platform/console_log.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

namespace {
std::size_t cellIndex(std::uint32_t column, std::uint32_t row) {
    return std::size_t{row} * chip8ScreenWidth + column;
}

// One plane's sprite: where its bytes start (an offset from I) and its bit in a cell.
struct Plane {
    std::uint32_t firstByte;
    std::uint8_t bit;
};

std::uint8_t spriteByte(const Chip8Machine& machine, const Plane& plane, std::uint32_t offset) {
    return machine.memory[(machine.I + plane.firstByte + offset) & machine.rules.addressMask];
}

// Flips one buffer pixel of the plane for a sprite bit of 1; reports whether it was lit
// in that plane before.
bool flipCell(Chip8Machine& machine, std::size_t index, std::uint8_t bit) {
    const std::uint8_t before = readScreenCell(machine, index);
    writeScreenCell(machine, index, static_cast<std::uint8_t>(before ^ bit));
    return (before & bit) != 0;
}

// Sprite coordinates are 8-bit sums before they wrap to the screen.
std::uint32_t coordinate(std::uint8_t base, std::uint32_t offset) {
    return static_cast<std::uint8_t>(base + offset);
}

// Where one sprite bit lands on a logical screen of `size` pixels along one axis:
// wrapped, or, when the rules clip, the start position wraps and a pixel past the edge
// is dropped (nothing returned).
struct Axis {
    std::uint32_t size;
    bool clips;
    std::optional<std::uint32_t> place(std::uint8_t base, std::uint32_t offset) const {
        if (!clips) {
            return coordinate(base, offset) & (size - 1);
        }
        const std::uint32_t position = (base & (size - 1)) + offset;
        return position < size ? std::optional(position) : std::nullopt;
    }
};

// One sprite row of `columns` bits (8, or 16 from two bytes, left byte first).
std::uint32_t spriteRow(const Chip8Machine& machine, const Plane& plane, std::uint32_t row,
                        std::uint32_t columns) {
    if (columns == 8) {
        return spriteByte(machine, plane, row);
    }
    return std::uint32_t{spriteByte(machine, plane, 2 * row)} << 8 |
           spriteByte(machine, plane, 2 * row + 1);
}

// High resolution: one bit flips one buffer pixel. The pixels of one draw are all
// different, so testing each as it is flipped is the same as testing all first.
void drawHighRes(Chip8Machine& machine, const Plane& plane, std::uint8_t vx, std::uint8_t vy,
                 std::uint32_t rows, std::uint32_t columns, bool clips) {
    const Axis across{chip8ScreenWidth, clips};
    const Axis down{chip8ScreenHeight, clips};
    for (std::uint32_t r = 0; r < rows; ++r) {
        const auto row = down.place(vy, r);
        if (!row) {
            break;
        }
        const std::uint32_t bits = spriteRow(machine, plane, r, columns);
        for (std::uint32_t c = 0; c < columns; ++c) {
            if ((bits >> (columns - 1 - c)) & 1u) {
                if (const auto column = across.place(vx, c)) {
                    machine.eraseFlag |=
                        flipCell(machine, cellIndex(*column, *row), plane.bit) ? 1 : 0;
                }
            }
        }
    }
}

// Low resolution: one bit flips a 2 x 2 block, tested as a whole before any of it
// flips.
void drawLowRes(Chip8Machine& machine, const Plane& plane, std::uint8_t vx, std::uint8_t vy,
                std::uint32_t rows, std::uint32_t columns, bool clips) {
    const Axis across{chip8ScreenWidth / 2, clips};
    const Axis down{chip8ScreenHeight / 2, clips};
    for (std::uint32_t r = 0; r < rows; ++r) {
        const auto logicalRow = down.place(vy, r);
        if (!logicalRow) {
            break;
        }
        const std::uint32_t row = 2 * *logicalRow;
        const std::uint32_t bits = spriteRow(machine, plane, r, columns);
        for (std::uint32_t c = 0; c < columns; ++c) {
            if (r == 15 && columns == 8) {
                logMessage("Sprite 8x16!");
            }
            if (((bits >> (columns - 1 - c)) & 1u) == 0) {
                continue;
            }
            const auto logicalColumn = across.place(vx, c);
            if (!logicalColumn) {
                continue;
            }
            const std::uint32_t column = 2 * *logicalColumn;
            const std::size_t block[4] = {cellIndex(column, row), cellIndex(column + 1, row),
                                          cellIndex(column, row + 1),
                                          cellIndex(column + 1, row + 1)};
            bool lit = false;
            for (const std::size_t index : block) {
                lit = lit || (readScreenCell(machine, index) & plane.bit) != 0;
            }
            if (lit) {
                machine.eraseFlag = 1;
            }
            for (const std::size_t index : block) {
                flipCell(machine, index, plane.bit);
            }
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
    machine.eraseFlag = 0;
    // With both planes selected, plane 2's sprite follows plane 1's in memory.
    std::uint32_t firstByte = 0;
    for (const std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
        if ((machine.planes & bit) == 0) {
            continue;
        }
        const Plane plane{firstByte, bit};
        if (high) {
            drawHighRes(machine, plane, vx, vy, rows, columns, clips);
        } else {
            drawLowRes(machine, plane, vx, vy, rows, columns, clips);
        }
        firstByte += rows * columns / 8;
    }
    machine.V[0xF] = machine.eraseFlag;
    unlockFromOutside(renderWorker);
}
