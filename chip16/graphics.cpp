#include "chip16/graphics.h"

#include "platform/console_log.h"

#include <algorithm>

void clearChip16Screen(Chip16Machine& m) {
    m.screen.fill(0);
    m.backgroundColour = 0;
}

namespace {
constexpr std::int32_t widestRow = 2 * 255;

// One row's pixels, left to right as they land on the screen: two per byte, high
// nibble first, or the other way round when mirrored.
template <bool Mirrored>
void unpackRow(const std::uint8_t* source, std::int32_t rowBytes, std::uint8_t* pixels) {
    for (std::int32_t i = 0; i < rowBytes; ++i) {
        const std::uint8_t pair = source[i];
        if constexpr (Mirrored) {
            pixels[2 * (rowBytes - 1 - i) + 1] = pair >> 4;
            pixels[2 * (rowBytes - 1 - i)] = pair & 0x0F;
        } else {
            pixels[2 * i] = pair >> 4;
            pixels[2 * i + 1] = pair & 0x0F;
        }
    }
}

// Lays a span of pixels over the screen row: 0 leaves the screen pixel, any other value
// replaces it. Returns 1 when a drawn pixel covered a non-zero one. Branch-free, so the
// compiler can do many pixels at once.
std::uint8_t drawSpan(const std::uint8_t* pixels, std::int32_t count, std::uint8_t* target) {
    std::uint8_t collision = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t value = pixels[i];
        const std::uint8_t below = target[i];
        collision |= static_cast<std::uint8_t>((value != 0) & (below != 0));
        target[i] = value != 0 ? value : below;
    }
    return collision;
}
} // namespace

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
    if (firstColumn >= endColumn || firstRow >= endRow) {
        return;
    }
    const bool mirrored = m.flipHorizontal != 0;
    const bool upsideDown = m.flipVertical != 0;

    std::uint8_t pixels[widestRow];
    std::uint8_t collision = 0;
    for (std::int32_t i = firstRow; i < endRow; ++i) {
        const std::int32_t sourceRow = upsideDown ? rows - 1 - i : i;
        const std::uint8_t* source = m.memory.data() + address + sourceRow * rowBytes;
        if (mirrored) {
            unpackRow<true>(source, rowBytes, pixels);
        } else {
            unpackRow<false>(source, rowBytes, pixels);
        }
        // Both are inside the screen here: the clipping above keeps them there.
        const std::int32_t row = y0 + i;
        const std::int32_t column = x0 + firstColumn;
        std::uint8_t* target = &m.screen[static_cast<std::size_t>(row) * chip16ScreenWidth +
                                         static_cast<std::size_t>(column)];
        collision |= drawSpan(pixels + firstColumn, endColumn - firstColumn, target);
    }
    m.carry = collision;
}
