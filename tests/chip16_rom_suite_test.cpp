// The published Chip-16 test and demo programs in ../shared/roms/chip16, run frame by
// frame on the real run loop.

#include "chip16/rom_loader.h"
#include "platform/random.h"
#include "tests/chip16_test_support.h"
#include "tests/support/golden.h"
#include "tests/support/temp_file.h"

namespace {
class Chip16RomSuite : public Chip16Frames {
  protected:
    void SetUp() override {
        QUORVIX_REQUIRE_SHARED_ROMS();
        Chip16Frames::SetUp();
        seedRandom(16); // the same random numbers every run
        randomSeeded = true;
    }
    void load(const std::string& name) {
        const auto path = sharedRomFolder() / "chip16" / name;
        ASSERT_TRUE(loadChip16Rom(path.c_str(), 0)) << path;
        restart();
    }
    // The screen after `frames`, which the next 60 frames leave as it is.
    Chip16Screen stablePicture(const std::string& name, int frames) {
        load(name);
        const Chip16Screen picture = runFrames(frames);
        EXPECT_EQ(runFrames(60), picture) << name;
        return picture;
    }
};
} // namespace

TEST_F(Chip16RomSuite, BcTestRomReachesItsPassScreen) {
    load("tests/BC_TestRom.c16");
    CapturedConsole console;
    runFrames(120);
    // A failing check turns the background red (3) and names the opcode and the flag.
    EXPECT_EQ(chip16.backgroundColour, 9);
    EXPECT_EQ(console.take(), "") << "no unknown opcode, no refused sprite";
}

TEST_F(Chip16RomSuite, PadTestWithAndWithoutHeaderLightTheHeldButton) {
    std::vector<Chip16Screen> pictures[2];
    for (const int file : {0, 1}) {
        load(file == 0 ? "tests/PadTest.c16" : "tests/PadTest-raw.c16");
        pictures[file].push_back(runFrames(10));
        for (const int key : {0x26, 0x28, 0x25, 0x27, 0x43, 0x56, 0x58, 0x5A}) {
            setKeyDown(key, true);
            pictures[file].push_back(runFrames(3));
            setKeyDown(key, false);
            runFrames(3);
        }
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    for (std::size_t i = 1; i < pictures[0].size(); ++i) {
        EXPECT_NE(pictures[0][i], pictures[0][0]) << "button " << i << " lights up";
        EXPECT_NE(pictures[0][i], pictures[0][i == 1 ? 2 : i - 1]) << "its own square";
    }
}

TEST_F(Chip16RomSuite, TriangleGivesAStablePicture) {
    // Triangle draws a 2 x 2 green square at (2x, 2y) for every x, y in 0-63 with
    // x AND y = 0, and nothing else.
    const Chip16Screen triangle = stablePicture("programs/Triangle.c16", 60);
    int wrong = 0;
    for (int i = 0; i < int(triangle.size()); ++i) {
        const int x = i % 320 / 2, y = i / 320 / 2;
        wrong += triangle[i] != (x < 64 && y < 64 && (x & y) == 0 ? 10 : 0);
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Chip16RomSuite, StopwatchCountsOneSecondEvery60Frames) {
    // "MM:SS:hh" at the top left, glyph k in columns 10 + 12k to 21 + 12k of rows 10-19.
    const auto glyphs = [this](int first) {
        std::vector<std::uint8_t> cells;
        for (int y = 10; y < 20; ++y) {
            const auto row = screen.begin() + y * 320 + 10 + 12 * first;
            cells.insert(cells.end(), row, row + 24);
        }
        return cells;
    };
    load("programs/Stopwatch.c16");
    runFrames(10);
    setKeyDown(0x43, true); // A: start
    runFrames(2);
    setKeyDown(0x43, false);
    runFrames(40);
    const auto hundredths = glyphs(6);
    for (int second = 1; second <= 3; ++second) {
        const auto seconds = glyphs(3);
        runFrames(30);
        EXPECT_NE(glyphs(6), hundredths) << "half a second later";
        runFrames(30);
        EXPECT_EQ(glyphs(6), hundredths) << "a whole second later, second " << second;
        EXPECT_NE(glyphs(3), seconds);
    }
}
