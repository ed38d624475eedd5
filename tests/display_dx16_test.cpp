#include "display/display_dx16.h"

#include "platform/headless/headless_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {
constexpr std::int32_t paddedPitch = 4 * 960 + 36; // rows end in 9 untouched guard words
constexpr std::uint32_t guard = 0x12345678;

struct Image {
    std::vector<std::uint32_t> words =
        std::vector<std::uint32_t>(std::size_t{720} * paddedPitch / 4, guard);
    LockedImage locked{words.data(), paddedPitch};
};

// The texel the display must show at (x, y), straight from the per-texel rule.
std::uint32_t expectedTexel(const Chip16Machine& m, std::uint32_t x, std::uint32_t y) {
    std::uint32_t c = m.screen[(y / 3) * 320 + x / 3] & 0x0F;
    if (c == 0) {
        c = m.backgroundColour & 0x0F;
    }
    return chip16Palette[c];
}

void expectConversionFollowsTheRule(const Chip16Machine& m, const Image& image) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < 720; ++y) {
        const std::uint32_t* row = image.locked.row(y);
        for (std::uint32_t x = 0; x < 960; ++x) {
            wrong += row[x] != expectedTexel(m, x, y);
        }
        for (std::uint32_t x = 960; x < paddedPitch / 4; ++x) {
            wrong += row[x] != guard;
        }
    }
    EXPECT_EQ(wrong, 0);
}
} // namespace

TEST(DisplayDx16Convert, FollowsThePerTexelRuleOnRandomScreensAndBackgrounds) {
    auto m = std::make_unique<Chip16Machine>();
    std::mt19937 random(16);
    for (int round = 0; round < 6; ++round) {
        for (auto& pixel : m->screen) {
            // Mostly colour indices, some with junk in the upper nibble.
            pixel = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 16);
        }
        m->backgroundColour = static_cast<std::uint8_t>(round < 2 ? round * 3 : random());
        Image image;
        convertChip16Screen(*m, image.locked);
        SCOPED_TRACE(testing::Message() << "background " << +m->backgroundColour);
        expectConversionFollowsTheRule(*m, image);
    }
}

TEST(DisplayDx16Convert, IndexZeroFollowsTheBackgroundAndIndexOneStaysBlack) {
    auto m = std::make_unique<Chip16Machine>();
    m->backgroundColour = 3;
    m->screen[0] = 1;
    m->screen[1] = 0x13;
    m->screen[2] = 0x10;
    m->screen[319 + 239 * 320] = 0x0E;
    Image image;
    convertChip16Screen(*m, image.locked);
    EXPECT_EQ(image.locked.row(0)[0], 0xFF000000u);
    EXPECT_EQ(image.locked.row(2)[2], 0xFF000000u);
    EXPECT_EQ(image.locked.row(0)[3], 0xFFBF3932u);
    EXPECT_EQ(image.locked.row(1)[7], 0xFFBF3932u) << "0x10 counts as 0: the background";
    EXPECT_EQ(image.locked.row(719)[959], 0xFFBCDEE4u);
    EXPECT_EQ(image.locked.row(717)[957], 0xFFBCDEE4u);
    EXPECT_EQ(image.locked.row(716)[956], 0xFFBF3932u);

    m->backgroundColour = 0x1E;
    convertChip16Screen(*m, image.locked);
    EXPECT_EQ(image.locked.row(100)[100], 0xFFBCDEE4u) << "only the low nibble counts";
    EXPECT_EQ(image.locked.row(0)[0], 0xFF000000u);
}

TEST(DisplayDx16, PresentsTheConvertedScreenOnTheMainSurface) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    auto m = std::make_unique<Chip16Machine>();
    m->screen[5 * 320 + 7] = 10;
    m->backgroundColour = 13;
    {
        DisplayDx16 display(*m);
        display.convert();
        display.present();
    }
    headless::setMainSurface(nullptr);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const auto frame = sink.lastFrame(&width, &height);
    ASSERT_EQ(width, 960u);
    ASSERT_EQ(height, 720u);
    for (std::uint32_t y = 0; y < 720; y += 1) {
        for (std::uint32_t x = 0; x < 960; x += 1) {
            if (frame[y * 960 + x] != expectedTexel(*m, x, y)) {
                FAIL() << "texel " << x << "," << y;
            }
        }
    }
}

TEST(DisplayDx16, WithoutAWindowConvertAndPresentDoNothing) {
    headless::setMainSurface(nullptr);
    auto m = std::make_unique<Chip16Machine>();
    DisplayDx16 display(*m);
    display.convert();
    display.present();
    SUCCEED();
}
