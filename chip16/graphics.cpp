#include "chip16/graphics.h"

#include "platform/console_log.h"

#include <algorithm>

void clearChip16Screen(Chip16Machine& m) {
    m.screen.fill(0);
    m.backgroundColour = 0;
}

void drawChip16Sprite(Chip16Machine& m, std::uint16_t x, std::uint16_t y, std::uint16_t address) {
    m.carry = 0;
    const std::int32_t rowBytes = m.spriteWidth;
    const std::int32_t rows = m.spriteHeight;
    if (std::int64_t{address} + std::int64_t{rowBytes} * rows > std::int64_t{chip16MemorySize}) {
        logMessage("Error: Sprite reading past 64k memory!!!");
        return;
    }
    const std::int32_t x0 = static_cast<std::int16_t>(x);
    const std::int32_t y0 = static_cast<std::int16_t>(y);
    const std::int32_t columns = 2 * rowBytes;
    // Only the part of the sprite's rectangle that lies on the screen is visited.
    const std::int32_t firstColumn = std::max(0, -x0);
    const std::int32_t endColumn = std::min(columns, std::int32_t{chip16ScreenWidth} - x0);
    const std::int32_t firstRow = std::max(0, -y0);
    const std::int32_t endRow = std::min(rows, std::int32_t{chip16ScreenHeight} - y0);

    std::uint8_t collision = 0;
    for (std::int32_t i = firstRow; i < endRow; ++i) {
        const std::int32_t sourceRow = m.flipVertical ? rows - 1 - i : i;
        const std::uint8_t* source = m.memory.data() + address + sourceRow * rowBytes;
        std::uint8_t* targetRow = m.screen.data() + (y0 + i) * std::int32_t{chip16ScreenWidth};
        for (std::int32_t j = firstColumn; j < endColumn; ++j) {
            const std::int32_t sourceColumn = m.flipHorizontal ? columns - 1 - j : j;
            const std::uint8_t pair = source[sourceColumn / 2];
            const std::uint8_t value = (sourceColumn & 1) ? (pair & 0x0F) : (pair >> 4);
            if (value != 0) {
                std::uint8_t& pixel = targetRow[x0 + j];
                collision |= pixel != 0;
                pixel = value;
            }
        }
    }
    m.carry = collision;
}
