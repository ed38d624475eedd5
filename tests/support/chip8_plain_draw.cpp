#include "tests/support/chip8_plain_draw.h"

#include <cstddef>
#include <optional>

namespace {
std::size_t cellIndex(std::uint32_t column, std::uint32_t row) {
    return std::size_t{row} * chip8ScreenWidth + column;
}

// Where one sprite bit lands along an axis of `size` logical pixels: the 8-bit sum
// wrapped, or, when clipping, the start wrapped and a pixel past the edge dropped.
std::optional<std::uint32_t> place(std::uint32_t size, bool clips, std::uint8_t base,
                                   std::uint32_t offset) {
    if (!clips) {
        return static_cast<std::uint8_t>(base + offset) & (size - 1);
    }
    const std::uint32_t position = (base & (size - 1)) + offset;
    return position < size ? std::optional(position) : std::nullopt;
}

std::uint8_t spriteByte(const Chip8State& m, std::uint32_t offset) {
    return m.memory[(m.I + offset) & m.rules.addressMask];
}
} // namespace

void drawChip8SpritePlainly(Chip8State& m, std::uint8_t vx, std::uint8_t vy, std::uint8_t n) {
    const std::uint32_t rows = n != 0 ? n : 16;
    const bool high = m.hiRes != 0;
    const std::uint32_t columns = n == 0 && (high || m.rules.wideLowResolutionSprite) ? 16 : 8;
    const std::uint32_t scale = high ? 1 : 2;
    const bool clips = m.rules.clipsSprites;
    m.eraseFlag = 0;
    std::uint32_t firstByte = 0;
    for (const std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{2}}) {
        if ((m.planes & bit) == 0) {
            continue;
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            const auto row = place(chip8ScreenHeight / scale, clips, vy, r);
            if (!row) {
                break;
            }
            for (std::uint32_t c = 0; c < columns; ++c) {
                const std::uint32_t byte = firstByte + r * columns / 8 + c / 8;
                if (((spriteByte(m, byte) >> (7 - c % 8)) & 1u) == 0) {
                    continue;
                }
                const auto column = place(chip8ScreenWidth / scale, clips, vx, c);
                if (!column) {
                    continue;
                }
                // A logical pixel is scale x scale cells: lit when any of them is, then
                // every one flips.
                bool lit = false;
                for (std::uint32_t dy = 0; dy < scale; ++dy) {
                    for (std::uint32_t dx = 0; dx < scale; ++dx) {
                        const std::size_t i = cellIndex(*column * scale + dx, *row * scale + dy);
                        lit = lit || (m.screen[i] & bit) != 0;
                        m.screen[i] = static_cast<std::uint8_t>(m.screen[i] ^ bit);
                    }
                }
                if (lit) {
                    m.eraseFlag = 1;
                }
            }
        }
        firstByte += rows * columns / 8;
    }
    m.V[0xF] = m.eraseFlag;
}
