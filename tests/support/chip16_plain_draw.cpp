#include "tests/support/chip16_plain_draw.h"

void drawChip16SpritePlainly(Chip16Machine& m, std::uint16_t x, std::uint16_t y,
                             std::uint16_t address) {
    m.carry = 0;
    const std::int32_t rowBytes = m.spriteWidth;
    const std::int32_t rows = m.spriteHeight;
    if (std::int64_t{address} + std::int64_t{rowBytes} * rows > 65536) {
        return;
    }
    // Both coordinates are signed 16-bit numbers.
    const std::int32_t x0 = static_cast<std::int16_t>(x);
    const std::int32_t y0 = static_cast<std::int16_t>(y);
    for (std::int32_t row = 0; row < rows; ++row) {
        const std::int32_t screenRow = y0 + row;
        if (screenRow < 0 || screenRow >= 240) {
            continue;
        }
        const std::int32_t sourceRow = m.flipVertical != 0 ? rows - 1 - row : row;
        for (std::int32_t column = 0; column < 2 * rowBytes; ++column) {
            const std::int32_t screenColumn = x0 + column;
            if (screenColumn < 0 || screenColumn >= 320) {
                continue;
            }
            // Mirrored, the row's last pixel comes first.
            const std::int32_t k = m.flipHorizontal != 0 ? 2 * rowBytes - 1 - column : column;
            const std::uint8_t pair = m.memory[address + sourceRow * rowBytes + k / 2];
            const std::uint8_t value = k % 2 == 0 ? pair >> 4 : pair & 0x0F;
            std::uint8_t& pixel =
                m.screen[static_cast<std::size_t>(screenRow * 320 + screenColumn)];
            if (value != 0) {
                m.carry |= pixel != 0 ? 1 : 0;
                pixel = value;
            }
        }
    }
}
