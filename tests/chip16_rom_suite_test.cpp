// The published Chip-16 test and demo programs in ../shared/roms/chip16, run frame by
// frame on the real run loop.

#include "chip16/extended_set.h"
#include "chip16/rom_loader.h"
#include "platform/random.h"
#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

namespace {
class Chip16RomSuite : public Chip16Frames {
  protected:
    void SetUp() override {
        if (sharedRomFolder().empty()) {
            GTEST_SKIP() << "../shared/roms is not there: the Chip-16 ROM suite is skipped";
        }
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
    // White text only: "You got it!" in the middle, "By BestCoder" bottom right.
    EXPECT_EQ(countColour(screen, 15) + countColour(screen, 0), 320 * 240);
    EXPECT_GT(countColour(screen, 15), 300);
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

TEST_F(Chip16RomSuite, TriangleCollisionTestAndFlipTestGiveStablePictures) {
    // Triangle draws a 2 x 2 green square at (2x, 2y) for every x, y in 0-63 with
    // x AND y = 0, and nothing else.
    const Chip16Screen triangle = stablePicture("programs/Triangle.c16", 60);
    int wrong = 0;
    for (int i = 0; i < int(triangle.size()); ++i) {
        const int x = i % 320 / 2, y = i / 320 / 2;
        wrong += triangle[i] != (x < 64 && y < 64 && (x & y) == 0 ? 10 : 0);
    }
    EXPECT_EQ(wrong, 0);
    // Three grey (2) 8 x 8 blocks and the green (10) cross, red (3) on a block.
    const Chip16Screen collision = stablePicture("tests/CollisionTest.c16", 30);
    EXPECT_EQ(countColour(collision, 10) + countColour(collision, 3), 28);
    EXPECT_EQ(countColour(collision, 2), 3 * 64);
    EXPECT_GT(countColour(stablePicture("tests/flip_test.c16", 30), 15), 100) << "white arrows";
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

namespace {
// Chip1613ST's two 40-character text rows read back from the screen: each 8 x 8 cell is
// matched against the 48 glyphs of the font the program carries (at 0x04B0, 32 bytes
// each, for the characters from '0' on); an empty cell reads as a space.
std::string chip1613Text(const Chip16Machine& m) {
    std::string text;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 40; ++column) {
            std::array<std::uint8_t, 32> cell{};
            for (int i = 0; i < 64; ++i) {
                const std::uint8_t pixel = m.screen[(8 * row + i / 8) * 320 + 8 * column + i % 8];
                cell[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? pixel << 4 : pixel);
            }
            char c = '?';
            if (std::all_of(cell.begin(), cell.end(), [](std::uint8_t b) { return b == 0; })) {
                c = ' ';
            }
            for (int glyph = 0; glyph < 48 && c == '?'; ++glyph) {
                if (std::equal(cell.begin(), cell.end(), m.memory.begin() + 0x04B0 + 32 * glyph)) {
                    c = static_cast<char>('0' + glyph);
                }
            }
            text += c;
        }
        text += '\n';
    }
    return text;
}
} // namespace

TEST_F(Chip16RomSuite, Chip1613stPassesWithTheExtendedSetAndReportsUnknownOpcodesWithout) {
    chooseChip16ExtendedSet(true);
    load("tests/Chip1613ST.c16");
    chooseChip16ExtendedSet(false);
    CapturedConsole console;
    runFrames(30);
    EXPECT_EQ(chip1613Text(chip16), "     CHIP16 V1=3 SPECIFICATION TEST     \n"
                                    "             <ALL TESTS OK<             \n");
    EXPECT_EQ(console.take(), "");
    // Its palette: black, then white for every other colour.
    EXPECT_EQ(chip16.palette[0], 0xFF000000u);
    EXPECT_EQ(chip16.palette[1], 0xFFFFFFFFu);
    EXPECT_EQ(chip16.palette[15], 0xFFFFFFFFu);

    load("tests/Chip1613ST.c16");
    console.take(); // the loader's CRC-32 warning
    runFrames(30);
    // The first MODI is skipped, so test 01 fails; both text draws meet PAL.
    EXPECT_EQ(chip1613Text(chip16), "     CHIP16 V1=3 SPECIFICATION TEST     \n"
                                    "             FAILED TEST 01             \n");
    EXPECT_EQ(console.take(), "Chip-16 Error: Unknown Opcode Called! [pc=0120][047d00d0]\n"
                              "Chip-16 Error: Unknown Opcode Called! [pc=001c][000d00a3]\n"
                              "Chip-16 Error: Unknown Opcode Called! [pc=0120][047d00d0]\n");
    EXPECT_EQ(chip16.palette[1], 0xFF000000u);
}
