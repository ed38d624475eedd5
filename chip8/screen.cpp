#include "chip8/screen.h"

#include "chip8/chip8_machine.h"
#include "chip8/screen_cells.h"
#include "platform/console_log.h"

#include <cstddef>

namespace {
constexpr std::uint32_t columnMask = chip8ScreenWidth - 1;
constexpr std::uint32_t rowMask = chip8ScreenHeight - 1;
constexpr std::uint32_t lowColumnMask = chip8ScreenWidth / 2 - 1;
constexpr std::uint32_t lowRowMask = chip8ScreenHeight / 2 - 1;
constexpr std::uint32_t scrollColumns = 4;

std::size_t cellIndex(std::uint32_t column, std::uint32_t row) {
    return std::size_t{row} * chip8ScreenWidth + column;
}

std::uint8_t spriteByte(const Chip8Machine& machine, std::uint32_t offset) {
    return machine.memory[(machine.I + offset) % chip8MemorySize];
}

// Flips one buffer pixel for a sprite bit of 1; reports whether it was lit before.
bool flipCell(Chip8Machine& machine, std::size_t index) {
    const std::uint8_t before = readScreenCell(machine, index);
    writeScreenCell(machine, index, before ^ 1u);
    return before != 0;
}

// Sprite coordinates are 8-bit sums before they wrap to the screen.
std::uint32_t coordinate(std::uint8_t base, std::uint32_t offset) {
    return static_cast<std::uint8_t>(base + offset);
}

void drawHighRes(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy, std::uint32_t rows) {
    for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint32_t row = coordinate(vy, r) & rowMask;
        const std::uint8_t bits = spriteByte(machine, r);
        for (std::uint32_t c = 0; c < 8; ++c) {
            if ((bits >> (7 - c)) & 1u) {
                const std::uint32_t column = coordinate(vx, c) & columnMask;
                machine.eraseFlag |= flipCell(machine, cellIndex(column, row)) ? 1 : 0;
            }
        }
    }
}

// 16 x 16: two bytes per row, the right byte eight columns on. The two target
// pixels of one (row, column) are never the same pixel, so testing each as it is
// flipped is the same as testing both first.
void drawWide(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy) {
    for (std::uint32_t r = 0; r < 16; ++r) {
        const std::uint32_t row = coordinate(vy, r) & rowMask;
        const std::uint8_t left = spriteByte(machine, 2 * r);
        const std::uint8_t right = spriteByte(machine, 2 * r + 1);
        for (std::uint32_t c = 0; c < 8; ++c) {
            if ((left >> (7 - c)) & 1u) {
                const std::uint32_t column = coordinate(vx, c) & columnMask;
                machine.eraseFlag |= flipCell(machine, cellIndex(column, row)) ? 1 : 0;
            }
            if ((right >> (7 - c)) & 1u) {
                const std::uint32_t column = coordinate(vx, c + 8) & columnMask;
                machine.eraseFlag |= flipCell(machine, cellIndex(column, row)) ? 1 : 0;
            }
        }
    }
}

void drawLowRes(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy, std::uint32_t rows) {
    for (std::uint32_t r = 0; r < rows; ++r) {
        const std::uint32_t row = 2 * (coordinate(vy, r) & lowRowMask);
        const std::uint8_t bits = spriteByte(machine, r);
        for (std::uint32_t c = 0; c < 8; ++c) {
            if (r == 15) {
                logMessage("Sprite 8x16!");
            }
            if (((bits >> (7 - c)) & 1u) == 0) {
                continue;
            }
            const std::uint32_t column = 2 * (coordinate(vx, c) & lowColumnMask);
            const std::size_t block[4] = {cellIndex(column, row), cellIndex(column + 1, row),
                                          cellIndex(column, row + 1),
                                          cellIndex(column + 1, row + 1)};
            bool lit = false;
            for (const std::size_t index : block) {
                lit = lit || readScreenCell(machine, index) != 0;
            }
            if (lit) {
                machine.eraseFlag = 1;
            }
            for (const std::size_t index : block) {
                flipCell(machine, index);
            }
        }
    }
}
} // namespace

void drawChip8Sprite(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy, std::uint8_t n) {
    WorkerThread* const renderWorker = machine.renderWorker.get();
    lockFromOutside(renderWorker);
    const std::uint32_t rows = n != 0 ? n : 16;
    machine.eraseFlag = 0;
    if (machine.hiRes == 0) {
        drawLowRes(machine, vx, vy, rows);
    } else if (n == 0) {
        drawWide(machine, vx, vy);
    } else {
        drawHighRes(machine, vx, vy, rows);
    }
    machine.V[0xF] = machine.eraseFlag;
    unlockFromOutside(renderWorker);
}

void clearChip8Screen(Chip8Machine& machine) {
    for (std::size_t i = 0; i < machine.screen.size(); ++i) {
        writeScreenCell(machine, i, 0);
    }
}

void scrollChip8Down(Chip8Machine& machine, std::uint8_t rows) {
    const std::uint32_t distance = rows < chip8ScreenHeight ? rows : chip8ScreenHeight;
    // Bottom row first, so that every row is read before it is overwritten.
    for (std::uint32_t row = chip8ScreenHeight; row-- > distance;) {
        for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
            writeScreenCell(machine, cellIndex(column, row),
                            readScreenCell(machine, cellIndex(column, row - distance)));
        }
    }
    for (std::uint32_t row = 0; row < distance; ++row) {
        for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
            writeScreenCell(machine, cellIndex(column, row), 0);
        }
    }
}

void scrollChip8Right(Chip8Machine& machine) {
    for (std::uint32_t row = 0; row < chip8ScreenHeight; ++row) {
        for (std::uint32_t column = chip8ScreenWidth; column-- > scrollColumns;) {
            writeScreenCell(machine, cellIndex(column, row),
                            readScreenCell(machine, cellIndex(column - scrollColumns, row)));
        }
        for (std::uint32_t column = 0; column < scrollColumns; ++column) {
            writeScreenCell(machine, cellIndex(column, row), 0);
        }
    }
}

void scrollChip8Left(Chip8Machine& machine) {
    for (std::uint32_t row = 0; row < chip8ScreenHeight; ++row) {
        for (std::uint32_t column = 0; column + scrollColumns < chip8ScreenWidth; ++column) {
            writeScreenCell(machine, cellIndex(column, row),
                            readScreenCell(machine, cellIndex(column + scrollColumns, row)));
        }
        for (std::uint32_t column = chip8ScreenWidth - scrollColumns; column < chip8ScreenWidth;
             ++column) {
            writeScreenCell(machine, cellIndex(column, row), 0);
        }
    }
}
