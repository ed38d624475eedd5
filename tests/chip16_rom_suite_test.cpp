// The published Chip-16 test and demo programs in ../shared/roms/chip16, run headless
// on the real run loop, frame by frame.

#include "chip16/frame_pacer.h"
#include "chip16/rom_loader.h"
#include "chip16/run_loop.h"
#include "platform/keyboard.h"
#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {
using Screen = std::array<std::uint8_t, chip16ScreenWidth * chip16ScreenHeight>;

// Counts frame boundaries and keeps the screen as each one showed it.
class ShownFrames final : public Displayc16 {
  public:
    void convert() override {
        ++count;
        screen = chip16.screen;
        background = chip16.backgroundColour;
    }
    void present() override {}

    std::uint64_t count = 0;
    Screen screen{};
    std::uint8_t background = 0;
};

class Chip16RomSuite : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = sharedRomFolder();
        if (folder.empty()) {
            GTEST_SKIP() << "../shared/roms is not there; the Chip-16 ROM suite is skipped";
        }
        folder /= "chip16";
        setFramePacingEnabled(false);
        releaseAllKeys();
    }
    void TearDown() override {
        chip16.display.reset();
        setFramePacingEnabled(true);
        releaseAllKeys();
    }

    // Loads and resets as a machine start does, with a frame recorder as the display.
    void load(const std::string& name) {
        const std::string path = (folder / name).string();
        ASSERT_TRUE(loadChip16Rom(path.c_str(), 0)) << path;
        resetChip16(chip16);
        auto recorder = std::make_unique<ShownFrames>();
        shown = recorder.get();
        chip16.display = std::move(recorder);
    }

    void runFrames(std::uint64_t count) {
        const std::uint64_t target = shown->count + count;
        while (shown->count < target) {
            runChip16Batch();
        }
    }

    std::uint8_t pixel(int x, int y) const { return shown->screen[y * chip16ScreenWidth + x]; }

    std::filesystem::path folder;
    ShownFrames* shown = nullptr;
};

int countPixels(const Screen& screen, std::uint8_t colour) {
    return static_cast<int>(std::count(screen.begin(), screen.end(), colour));
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
    int centreX() const { return (left + right) / 2; }
    int centreY() const { return (top + bottom) / 2; }
};

template <typename Predicate> Box boxOf(const Screen& screen, Predicate wanted) {
    Box box;
    for (int y = 0; y < int(chip16ScreenHeight); ++y) {
        for (int x = 0; x < int(chip16ScreenWidth); ++x) {
            if (wanted(screen[y * chip16ScreenWidth + x], x, y)) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box;
}
} // namespace

TEST_F(Chip16RomSuite, BcTestRomReachesItsPassScreen) {
    load("tests/BC_TestRom.c16");
    CapturedConsole console;
    runFrames(120);
    // A failing check turns the background red (3) and names the opcode and flag.
    EXPECT_EQ(shown->background, 9) << "green background of the pass screen";
    // "You got it!" and "By BestCoder" in white: the first line in the middle, the
    // second in the bottom-right corner.
    const Box text = boxOf(shown->screen, [](std::uint8_t p, int, int) { return p != 0; });
    EXPECT_EQ(countPixels(shown->screen, 15) + countPixels(shown->screen, 0),
              int(chip16ScreenWidth * chip16ScreenHeight));
    EXPECT_LT(text.left, 110);
    EXPECT_GT(text.right, 300);
    EXPECT_EQ(console.take(), "") << "no unknown opcode, no refused sprite";
}

TEST_F(Chip16RomSuite, PadTestWithAndWithoutHeaderLightTheHeldButton) {
    const int keys[] = {0x26, 0x28, 0x25, 0x27, 0x43, 0x56, 0x58, 0x5A};
    std::vector<Screen> screens[2];
    const char* files[2] = {"tests/PadTest.c16", "tests/PadTest-raw.c16"};
    for (int file = 0; file < 2; ++file) {
        load(files[file]);
        runFrames(10);
        screens[file].push_back(shown->screen);
        for (const int key : keys) {
            setKeyDown(key, true);
            runFrames(3);
            screens[file].push_back(shown->screen);
            setKeyDown(key, false);
            runFrames(3);
        }
    }
    for (std::size_t i = 0; i < screens[0].size(); ++i) {
        EXPECT_EQ(screens[0][i], screens[1][i]) << "picture " << i;
        if (i > 0) {
            EXPECT_NE(screens[0][i], screens[0][0]) << "button " << i << " lights up";
            EXPECT_NE(screens[0][i], screens[0][i == 1 ? 2 : i - 1]) << "its own square";
        }
    }
}

TEST_F(Chip16RomSuite, CollisionTestCrossTurnsRedOverABlock) {
    load("tests/CollisionTest.c16");
    runFrames(30);
    const Screen start = shown->screen;
    runFrames(30);
    EXPECT_EQ(shown->screen, start) << "a stable picture while nothing is pressed";
    EXPECT_EQ(countPixels(start, 3), 0) << "the cross starts green, away from the blocks";

    // Steer the cross (colour 10, red 3 while it collides) to the nearest grey block.
    const Box cross = boxOf(start, [](std::uint8_t p, int, int) { return p == 10; });
    ASSERT_FALSE(cross.empty());
    Box target;
    int best = 1 << 30;
    for (int y = 0; y < int(chip16ScreenHeight); ++y) {
        for (int x = 0; x < int(chip16ScreenWidth); ++x) {
            const int distance = std::abs(x - cross.centreX()) + std::abs(y - cross.centreY());
            if (start[y * chip16ScreenWidth + x] == 2 && distance < best) {
                best = distance;
                target.left = target.right = x;
                target.top = target.bottom = y;
            }
        }
    }
    ASSERT_FALSE(target.empty());
    bool turnedRed = false;
    for (int frame = 0; frame < 800 && !turnedRed; ++frame) {
        const Box now =
            boxOf(shown->screen, [](std::uint8_t p, int, int) { return p == 10 || p == 3; });
        setKeyDown(0x27, now.centreX() < target.centreX());
        setKeyDown(0x25, now.centreX() > target.centreX());
        setKeyDown(0x28, now.centreY() < target.centreY());
        setKeyDown(0x26, now.centreY() > target.centreY());
        runFrames(1);
        turnedRed = countPixels(shown->screen, 3) > 0;
    }
    EXPECT_TRUE(turnedRed);
}

TEST_F(Chip16RomSuite, TriangleDrawsTheSierpinskiPatternAndKeepsIt) {
    // The program draws a 2 x 2 green square at (2x, 2y) for every x, y in 0..63 with
    // x AND y = 0, and nothing else.
    load("programs/Triangle.c16");
    runFrames(60);
    const Screen first = shown->screen;
    runFrames(60);
    EXPECT_EQ(shown->screen, first);
    int wrong = 0;
    for (int y = 0; y < int(chip16ScreenHeight); ++y) {
        for (int x = 0; x < int(chip16ScreenWidth); ++x) {
            const int cx = x / 2;
            const int cy = y / 2;
            const bool lit = cx < 64 && cy < 64 && (cx & cy) == 0;
            wrong += pixel(x, y) != (lit ? 10 : 0);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Chip16RomSuite, FlipTestShowsAStablePicture) {
    load("tests/flip_test.c16");
    runFrames(30);
    const Screen first = shown->screen;
    runFrames(60);
    EXPECT_EQ(shown->screen, first);
    EXPECT_GT(countPixels(first, 15), 100) << "the white arrows";
}

TEST_F(Chip16RomSuite, StopwatchCountsOneSecondEvery60Frames) {
    // "MM:SS:hh" at the top left, glyph k in columns 10 + 12k to 19 + 12k of rows 10-19.
    const auto glyphs = [this](int first, int count) {
        std::vector<std::uint8_t> cells;
        for (int y = 10; y < 20; ++y) {
            for (int x = 10 + 12 * first; x < 10 + 12 * (first + count); ++x) {
                cells.push_back(pixel(x, y));
            }
        }
        return cells;
    };
    load("programs/Stopwatch.c16");
    runFrames(10);
    setKeyDown(0x43, true); // A: start
    runFrames(2);
    setKeyDown(0x43, false);
    runFrames(40);

    std::vector<std::vector<std::uint8_t>> hundredths, seconds;
    for (int second = 0; second < 4; ++second) {
        hundredths.push_back(glyphs(6, 2));
        seconds.push_back(glyphs(3, 2));
        runFrames(30);
        EXPECT_NE(glyphs(6, 2), hundredths.back()) << "half a second later";
        runFrames(30);
    }
    for (int second = 1; second < 4; ++second) {
        EXPECT_EQ(hundredths[second], hundredths[0]) << "60 frames later, second " << second;
        EXPECT_NE(seconds[second], seconds[second - 1]);
    }
}
