#include "display/chip16_display.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tests/support/ints.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <random>
#include <vector>

namespace {
// Index 0 is black only as a background; 1 black, 2 grey, 3 red, ..., 15 white.
constexpr std::uint32_t palette[16] = {
    0xFF000000, 0xFF000000, 0xFF888888, 0xFFBF3932, 0xFFDE7AAE, 0xFF4C3D21, 0xFF905F25, 0xFFE49452,
    0xFFEAD979, 0xFF537A3B, 0xFFABD54A, 0xFF252E38, 0xFF00467F, 0xFF68ABCC, 0xFFBCDEE4, 0xFFFFFFFF,
};

// The texel at (x, y) by the per-texel rule: index 0 shows the background's colour.
std::uint32_t expectedTexel(const Chip16Machine& m, std::uint32_t x, std::uint32_t y) {
    const std::uint32_t c = m.screen[(y / 3) * 320 + x / 3] & 0x0F;
    return m.palette[c != 0 ? c : m.backgroundColour & 0x0F];
}
} // namespace

TEST(Chip16Display, ConvertFollowsThePerTexelRuleAndKeepsOutsideTheRows) {
    constexpr std::uint32_t pitch = 4 * 960 + 36, guard = 0x12345678; // 9 words after each row
    auto m = std::make_unique<Chip16Machine>();
    // A fresh machine shows the sixteen default colours.
    EXPECT_TRUE(std::equal(std::begin(palette), std::end(palette), m->palette.begin()));
    std::mt19937 random(16);
    for (int round = 0; round < 6; ++round) {
        for (auto& pixel : m->screen) {
            // Colour indices, some with junk in the upper nibble.
            pixel = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 16);
        }
        m->backgroundColour = static_cast<std::uint8_t>(round < 2 ? round * 3 : random());
        if (round >= 4) { // a palette a program loaded
            for (std::uint32_t& colour : m->palette) {
                colour = 0xFF000000u | (random() & 0xFFFFFFu);
            }
        }
        std::vector<std::uint32_t> words(std::size_t{720} * pitch / 4, guard);
        convertChip16Screen(*m, PixelRows{words.data(), pitch / 4});
        int wrong = 0;
        for (std::uint32_t y = 0; y < 720; ++y) {
            for (std::uint32_t x = 0; x < pitch / 4; ++x) {
                wrong += words[y * pitch / 4 + x] != (x < 960 ? expectedTexel(*m, x, y) : guard);
            }
        }
        EXPECT_EQ(wrong, 0) << "background " << +m->backgroundColour;
    }
}

// A display converts only the pixels that changed since its last frame; after any change
// (pixels, background, palette) the picture must be what a whole conversion writes, and
// the rows it reports as changed must be exactly the pixel rows that differ.
TEST(Chip16Display, ConvertingOnlyChangedRowsEndsAsAWholeConvert) {
    constexpr std::uint32_t pitch = 4 * 960;
    auto m = std::make_unique<Chip16Machine>();
    std::mt19937 random(7);
    for (auto& pixel : m->screen) {
        pixel = static_cast<std::uint8_t>(random() % 16);
    }
    std::vector<std::uint32_t> words(std::size_t{720} * pitch / 4);
    ConvertedChip16Screen last;
    const auto changes = {
        +[](Chip16Machine&) {},                                  // the first frame
        +[](Chip16Machine& c) { c.screen[100 * 320 + 7] ^= 5; }, // one pixel of row 100
        +[](Chip16Machine& c) { c.backgroundColour = 5; },       // every index-0 pixel
        +[](Chip16Machine& c) { c.palette[7] = 0xFF123456; },    // what PAL loads
        +[](Chip16Machine&) {},                                  // nothing
        +[](Chip16Machine& c) {                                  // the last pixel, and
            c.screen[239 * 320 + 319] ^= 1;                      // the first and tenth
            c.screen[0] ^= 2;                                    // of row 0
            c.screen[9] ^= 4;
        },
        +[](Chip16Machine& c) { c.palette[3] = 0x80FFFFFF; }, // one colour
    };
    // The texel columns each step rewrites, by pixel row (three texels a pixel, four
    // pixels at a time); "every" stands for columns 0 to 960 of all 240 rows.
    using Spans = std::map<int, std::pair<std::uint32_t, std::uint32_t>>;
    const Spans every = {{-1, {0, 960}}};
    const std::vector<Spans> changedColumns = {
        every, {{100, {12, 24}}}, every, every, {}, {{0, {0, 36}}, {239, {948, 960}}}, every};
    int step = 0;
    for (const auto change : changes) {
        change(*m);
        convertChip16Screen(*m, PixelRows{words.data(), pitch / 4}, &last);
        const Spans& spans = changedColumns[std::size_t(step)];
        for (int y = 0; y < 240; ++y) {
            const auto found = spans.find(spans == every ? -1 : y);
            const auto wanted =
                found != spans.end() ? found->second : std::pair<std::uint32_t, std::uint32_t>{};
            const FrameSpan span = last.changedColumns[std::size_t(y)];
            EXPECT_EQ(std::make_pair(span.first, span.end), wanted)
                << "step " << step << " row " << y;
        }
        int wrong = 0;
        for (std::uint32_t y = 0; y < 720; ++y) {
            for (std::uint32_t x = 0; x < 960; ++x) {
                wrong += words[y * pitch / 4 + x] != expectedTexel(*m, x, y);
            }
        }
        EXPECT_EQ(wrong, 0) << "step " << step;
        ++step;
    }
}

// A present hands the whole picture over, in groups of three equal rows, then returns
// at the next refresh tick, however far into the period it was made (the ticks count
// from program start). Without a surface there is no picture and nothing is shown.
TEST(Chip16Display, APresentShowsThePictureAndReturnsAtTheNextRefreshTick) {
    initClock();
    headless::FrameSink sink;
    sink.setRefreshPeriod(16'666'667);
    headless::setMainSurface(&sink);
    auto m = std::make_unique<Chip16Machine>();
    m->screen[321] = 3; // pixel (1, 1): red
    Chip16Display display(*m);
    useManualClock(clockStart + 5'000'000);
    display.convert();
    display.present();
    EXPECT_EQ(elapsedNanoseconds(), 16'666'667u);
    advanceManualClock(16'666'000); // 0.667 us before the second tick
    display.present();
    EXPECT_EQ(elapsedNanoseconds(), 33'333'334u);
    useRealClock();
    std::uint32_t width = 0, height = 0;
    const std::vector<std::uint32_t> frame = sink.lastFrame(&width, &height);
    ASSERT_EQ(ints(width, height), ints(960, 720));
    EXPECT_EQ(ints(frame[3 * 960 + 3], frame[5 * 960 + 5], frame[6 * 960 + 3], frame[0]),
              ints(0xFFBF3932, 0xFFBF3932, 0xFF000000, 0xFF000000));

    headless::setMainSurface(nullptr);
    Chip16Display without(*m);
    without.convert();
    without.present();
    EXPECT_EQ(sink.framesShown(), 2u);
}
