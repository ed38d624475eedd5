// The machine draws a sprite row as whole words of cells; the plain rule, one bit and
// one cell at a time, must give the same buffer, VF and erase flag for every position
// along each axis, every height and width, both resolutions, every plane mask, clipping
// and wrapping, and buffers whose low-resolution blocks are not uniform.

#include "chip8/chip8_machine.h"
#include "chip8/screen.h"
#include "tests/support/chip8_plain_draw.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {
struct Pair {
    std::unique_ptr<Chip8Machine> fast = std::make_unique<Chip8Machine>();
    std::unique_ptr<Chip8State> plain = std::make_unique<Chip8State>();
};

// Both machines with the same rules, random memory (sprite data anywhere, so I may wrap
// at the end of memory) and random cells in both planes.
void fill(Pair& pair, bool clips, bool wide, std::mt19937& random) {
    Chip8Machine& fast = *pair.fast;
    fast.rules.clipsSprites = clips;
    fast.rules.wideLowResolutionSprite = wide;
    fast.rules.addressMask = 0xFFFF;
    for (auto& byte : fast.memory) {
        byte = static_cast<std::uint8_t>(random());
    }
    for (auto& cell : fast.screen) {
        cell = static_cast<std::uint8_t>(random() & 3);
    }
    static_cast<Chip8State&>(*pair.plain) = static_cast<const Chip8State&>(fast);
}

// Draws at (vx, vy) with n rows on both and reports the first difference.
::testing::AssertionResult drawsAgree(Pair& pair, std::uint8_t vx, std::uint8_t vy, std::uint8_t n,
                                      std::uint8_t planes, std::uint16_t I) {
    for (Chip8State* m : {static_cast<Chip8State*>(pair.fast.get()), pair.plain.get()}) {
        m->I = I;
        m->planes = planes;
        m->eraseFlag = 7;
        m->V[0xF] = 7;
    }
    drawChip8Sprite(*pair.fast, vx, vy, n);
    drawChip8SpritePlainly(*pair.plain, vx, vy, n);
    const Chip8State& a = *pair.fast;
    const Chip8State& b = *pair.plain;
    if (a.screen != b.screen || a.V[0xF] != b.V[0xF] || a.eraseFlag != b.eraseFlag) {
        return ::testing::AssertionFailure()
               << "hiRes " << int{a.hiRes} << " clips " << a.rules.clipsSprites << " wide "
               << a.rules.wideLowResolutionSprite << " planes " << int{planes} << " at (" << int{vx}
               << ", " << int{vy} << ") n " << int{n} << ": VF " << int{a.V[0xF]} << " vs "
               << int{b.V[0xF]};
    }
    return ::testing::AssertionSuccess();
}

TEST(Chip8SpriteWordsTest, EveryPositionHeightAndPlaneMaskDrawsAsThePlainRule) {
    std::mt19937 random(29);
    Pair pair;
    int draws = 0;
    int collisions = 0;
    for (const bool high : {false, true}) {
        for (const bool clips : {false, true}) {
            for (const bool wide : {false, true}) {
                fill(pair, clips, wide, random);
                pair.fast->hiRes = pair.plain->hiRes = high ? 1 : 0;
                for (std::uint8_t planes = 0; planes < 4; ++planes) {
                    // Every value of each coordinate register with every height, the
                    // other coordinate random.
                    for (unsigned along = 0; along < 256; ++along) {
                        for (std::uint8_t n = 0; n < 16; ++n) {
                            const auto other = static_cast<std::uint8_t>(random());
                            const auto I = static_cast<std::uint16_t>(random());
                            const auto a = static_cast<std::uint8_t>(along);
                            ASSERT_TRUE(drawsAgree(pair, a, other, n, planes, I));
                            collisions += pair.plain->V[0xF];
                            ASSERT_TRUE(drawsAgree(pair, other, a, n, planes, I));
                            draws += 2;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(draws, 2 * 2 * 2 * 4 * 256 * 16 * 2);
    EXPECT_GT(collisions, draws / 8) << "random cells make most draws collide";
}
} // namespace
