// The machine draws the rows of a Chip-16 sprite that lie wholly on the screen eight,
// four and two pixels at a time; the plain rule, pixel by pixel, must give the same
// screen and carry for narrow and wide sprites in every flip, at positions across every
// edge, over screens with and without pixels under the sprite.

#include "chip16/chip16_machine.h"
#include "chip16/graphics.h"
#include "tests/support/captured_console.h"
#include "tests/support/chip16_plain_draw.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {
TEST(Chip16SpriteWordsTest, EverySizeFlipAndPositionDrawsAsThePlainRule) {
    CapturedConsole quiet; // sprites past the end of memory are refused with a message
    std::mt19937 random(16);
    const auto fast = std::make_unique<Chip16Machine>();
    const auto plain = std::make_unique<Chip16Machine>();
    for (auto& byte : fast->memory) {
        // Nibbles of 0 are transparent: about one in three.
        const auto nibble = [&random] { return random() % 3 == 0 ? 0u : random() % 16; };
        byte = static_cast<std::uint8_t>(nibble() << 4 | nibble());
    }
    plain->memory = fast->memory;
    int collisions = 0;
    int draws = 0;
    // Widths 1-9 bytes (every remainder of the 4-, 2- and 1-byte steps), and 40 and 160.
    for (const int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 40, 160}) {
        for (const int height : {1, 10, 40}) {
            for (int flips = 0; flips < 4; ++flips) {
                // A mostly empty screen, so that a collision is not a foregone conclusion.
                for (auto& pixel : fast->screen) {
                    pixel = static_cast<std::uint8_t>(random() % 8 == 0 ? random() % 16 : 0);
                }
                plain->screen = fast->screen;
                // Left of, across and right of each edge, and inside.
                for (const int x : {-2 * width - 1, -2 * width + 1, -3, -1, 0, 1, 5, 150,
                                    320 - 2 * width - 1, 320 - 2 * width, 317, 319, 320}) {
                    for (const int y : {-height, -1, 0, 3, 100, 240 - height, 239, 240}) {
                        for (Chip16Machine* m : {fast.get(), plain.get()}) {
                            m->spriteWidth = width;
                            m->spriteHeight = height;
                            m->flipHorizontal = static_cast<std::uint8_t>(flips & 1);
                            m->flipVertical = static_cast<std::uint8_t>(flips >> 1);
                            m->carry = 7;
                        }
                        // Sprite data anywhere, sometimes running past the end of memory.
                        const auto address = static_cast<std::uint16_t>(random());
                        const auto ux = static_cast<std::uint16_t>(x);
                        const auto uy = static_cast<std::uint16_t>(y);
                        drawChip16Sprite(*fast, ux, uy, address);
                        drawChip16SpritePlainly(*plain, ux, uy, address);
                        ASSERT_EQ(fast->carry, plain->carry)
                            << width << " x " << height << " flips " << flips << " at " << x << ", "
                            << y;
                        ASSERT_TRUE(fast->screen == plain->screen)
                            << width << " x " << height << " flips " << flips << " at " << x << ", "
                            << y;
                        collisions += plain->carry;
                        ++draws;
                    }
                }
            }
        }
    }
    EXPECT_GT(collisions, draws / 10);
    EXPECT_LT(collisions, draws * 9 / 10);
}
} // namespace
