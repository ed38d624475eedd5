#include "chip16/graphics.h"

#include "platform/console_log.h"

#include <algorithm>
#include <cstring>

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

// Up to eight pixels as the bytes of one word, the leftmost in the low byte.
constexpr std::uint64_t everyByte = 0x0101'0101'0101'0101;
constexpr std::uint64_t lowNibbles = 0x0F * everyByte;

// The high bit of each byte of the word that is not 0.
std::uint64_t nonZeroBytes(std::uint64_t word) {
    constexpr std::uint64_t lowSeven = 0x7F * everyByte;
    return (((word & lowSeven) + lowSeven) | word) & ~lowSeven;
}

// 2 x Bytes pixels from Bytes sprite bytes, as they land left to right: unmirrored, the
// bytes in order, high nibble first; mirrored, the bytes from the last, low nibble
// first. `source` is the first of the bytes in memory either way.
template <bool Mirrored, std::size_t Bytes> std::uint64_t unpackBytes(const std::uint8_t* source) {
    std::uint64_t lanes = 0;
    std::memcpy(&lanes, source, Bytes);
    if constexpr (Mirrored) {
        lanes = __builtin_bswap64(lanes) >> (64 - 8 * Bytes);
    }
    // Each byte to a 16-bit lane of its own.
    lanes = (lanes | lanes << 16) & 0x0000'FFFF'0000'FFFF;
    lanes = (lanes | lanes << 8) & 0x00FF'00FF'00FF'00FF;
    const std::uint64_t high = (lanes >> 4) & lowNibbles;
    const std::uint64_t low = lanes & lowNibbles;
    return Mirrored ? low | high << 8 : high | low << 8;
}

// drawSpan's rule for 2 x Bytes pixels at once: returns the high bit of every byte
// where a drawn pixel covered a non-zero one.
template <bool Mirrored, std::size_t Bytes>
std::uint64_t drawBytes(const std::uint8_t* source, std::uint8_t* target) {
    const std::uint64_t pixels = unpackBytes<Mirrored, Bytes>(source);
    std::uint64_t below = 0;
    std::memcpy(&below, target, 2 * Bytes);
    const std::uint64_t drawn = nonZeroBytes(pixels);
    const std::uint64_t keep = ~((drawn >> 7) * 0xFF);
    const std::uint64_t after = (below & keep) | pixels;
    std::memcpy(target, &after, 2 * Bytes);
    return drawn & nonZeroBytes(below);
}

// A whole sprite row over a screen row, four sprite bytes (eight pixels) at a time, then
// two and one: the same rule as drawSpan without a pass to unpack the row first, which
// costs more than the blend on narrow rows. Returns 1 on collision.
template <bool Mirrored>
std::uint8_t drawWholeRow(const std::uint8_t* source, std::int32_t rowBytes, std::uint8_t* target) {
    std::uint64_t covered = 0;
    std::int32_t done = 0; // sprite bytes drawn, from the left of the screen row
    // The sprite bytes that land on the `count` pixel pairs from `done` on.
    const auto from = [&](std::int32_t count) {
        return Mirrored ? source + rowBytes - done - count : source + done;
    };
    for (; done + 4 <= rowBytes; done += 4) {
        covered |= drawBytes<Mirrored, 4>(from(4), target + 2 * done);
    }
    if (done + 2 <= rowBytes) {
        covered |= drawBytes<Mirrored, 2>(from(2), target + 2 * done);
        done += 2;
    }
    if (done < rowBytes) {
        covered |= drawBytes<Mirrored, 1>(from(1), target + 2 * done);
    }
    return covered != 0 ? 1 : 0;
}

// Every row of a sprite that lies across the screen from its left edge to its right.
template <bool Mirrored>
std::uint8_t drawWholeRows(Chip16Machine& m, std::uint16_t address, std::int32_t x0,
                           std::int32_t y0, std::int32_t firstRow, std::int32_t endRow) {
    const std::int32_t rowBytes = m.spriteWidth;
    const std::int32_t rows = m.spriteHeight;
    const bool upsideDown = m.flipVertical != 0;
    std::uint8_t collision = 0;
    for (std::int32_t i = firstRow; i < endRow; ++i) {
        const std::int32_t sourceRow = upsideDown ? rows - 1 - i : i;
        const std::uint8_t* source = m.memory.data() + address + sourceRow * rowBytes;
        std::uint8_t* target = &m.screen[static_cast<std::size_t>(y0 + i) * chip16ScreenWidth +
                                         static_cast<std::size_t>(x0)];
        collision |= drawWholeRow<Mirrored>(source, rowBytes, target);
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
    if (firstColumn == 0 && endColumn == columns) {
        m.carry = mirrored ? drawWholeRows<true>(m, address, x0, y0, firstRow, endRow)
                           : drawWholeRows<false>(m, address, x0, y0, firstRow, endRow);
        return;
    }
    for (std::int32_t i = firstRow; i < endRow; ++i) {
        const std::int32_t sourceRow = upsideDown ? rows - 1 - i : i;
        const std::uint8_t* source = m.memory.data() + address + sourceRow * rowBytes;
        // A row cut by the left or right edge: unpacked, then the part on the screen.
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
