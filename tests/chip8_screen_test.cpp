// Sprites, collision, clear and scrolls on the 128 x 64 buffer.

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/screen.h"
#include "chip8/start_stop.h"
#include "tests/chip8_test_machine.h"
#include "workers/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {
constexpr std::uint16_t spriteAddress = 0x300;

bool lit(std::uint32_t column, std::uint32_t row) {
    return chip8.screen[row * chip8ScreenWidth + column] != 0;
}

// Every lit buffer pixel as (column, row).
std::set<std::pair<std::uint32_t, std::uint32_t>> litCells() {
    std::set<std::pair<std::uint32_t, std::uint32_t>> cells;
    for (std::uint32_t row = 0; row < chip8ScreenHeight; ++row) {
        for (std::uint32_t column = 0; column < chip8ScreenWidth; ++column) {
            if (lit(column, row)) {
                cells.insert({column, row});
            }
        }
    }
    return cells;
}

class Chip8ScreenTest : public Chip8MachineTest {
  protected:
    void SetUp() override {
        Chip8MachineTest::SetUp();
        loadChip8Program({});
    }
    void draw(bool highResolution, std::uint8_t x, std::uint8_t y, std::uint8_t n,
              std::initializer_list<std::uint8_t> sprite) {
        std::copy(sprite.begin(), sprite.end(), chip8.memory.begin() + spriteAddress);
        chip8.I = spriteAddress;
        chip8.hiRes = highResolution ? 1 : 0;
        drawChip8Sprite(x, y, n);
    }
};

TEST_F(Chip8ScreenTest, HighResolutionSpritesWrapAtEveryEdge) {
    draw(true, 124, 62, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    std::set<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (const std::uint32_t column : {124, 125, 126, 127, 0, 1, 2, 3}) {
        for (const std::uint32_t row : {62, 63, 0, 1, 2, 3, 4, 5}) {
            expected.insert({column, row});
        }
    }
    EXPECT_EQ(litCells(), expected);
    EXPECT_EQ(chip8.V[15], 0);
}

TEST_F(Chip8ScreenTest, SixteenBySixteenPutsTheRightHalvesEightColumnsOn) {
    std::initializer_list<std::uint8_t> rows = {0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81,
                                                0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81,
                                                0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81,
                                                0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81};
    draw(true, 120, 60, 0, rows);
    std::set<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (std::uint32_t r = 0; r < 16; ++r) {
        const std::uint32_t row = (60 + r) % 64;
        for (std::uint32_t column = 120; column < 128; ++column) {
            expected.insert({column, row});
        }
        expected.insert({0, row});
        expected.insert({7, row});
    }
    EXPECT_EQ(litCells(), expected);
    EXPECT_EQ(console(), "");
}

TEST_F(Chip8ScreenTest, LowResolutionPixelsAre2x2BlocksAndWrap) {
    draw(false, 62, 31, 2, {0xC1, 0x80});
    // CHIP-8 columns 62, 63 and 5 of row 31, then column 62 of row 0.
    const std::set<std::pair<std::uint32_t, std::uint32_t>> expected = {
        {124, 62}, {125, 62}, {124, 63}, {125, 63}, {126, 62}, {127, 62}, {126, 63}, {127, 63},
        {10, 62},  {11, 62},  {10, 63},  {11, 63},  {124, 0},  {125, 0},  {124, 1},  {125, 1}};
    EXPECT_EQ(litCells(), expected);
}

TEST_F(Chip8ScreenTest, LowResolutionSixteenRowSpriteIsEightWideAndReportsItsLastRow) {
    draw(false, 0, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x80});
    for (std::uint32_t row = 0; row < 30; row += 2) {
        EXPECT_TRUE(lit(14, row) && lit(15, row + 1)) << row;
    }
    EXPECT_TRUE(lit(0, 30) && lit(1, 31));
    EXPECT_EQ(litCells().size(), 16u * 4);
    std::string eight;
    for (int i = 0; i < 8; ++i) {
        eight += "Sprite 8x16!\n";
    }
    EXPECT_EQ(console(), eight);
}

TEST_F(Chip8ScreenTest, CollisionIsReportedPerDrawAndPerLowResolutionBlock) {
    draw(true, 10, 10, 1, {0x00});
    EXPECT_EQ(chip8.V[15], 0) << "an empty sprite";
    EXPECT_TRUE(litCells().empty());

    draw(true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(chip8.V[15], 0);
    EXPECT_EQ(litCells().size(), 8u);
    draw(true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(chip8.V[15], 1);
    EXPECT_TRUE(litCells().empty()) << "drawing twice restores";

    // One high-resolution pixel in a block is enough, and all four then flip.
    clearChip8Screen();
    draw(true, 3, 1, 1, {0x80});
    draw(false, 1, 0, 1, {0x80});
    EXPECT_EQ(chip8.V[15], 1);
    EXPECT_EQ(chip8.eraseFlag, 1);
    const std::set<std::pair<std::uint32_t, std::uint32_t>> flipped = {{2, 0}, {3, 0}, {2, 1}};
    EXPECT_EQ(litCells(), flipped);

    clearChip8Screen();
    EXPECT_TRUE(litCells().empty());
    EXPECT_EQ(chip8.eraseFlag, 1) << "clearing leaves the erase flag";
}

TEST_F(Chip8ScreenTest, SpriteDataWrapsAtTheEndOfMemory) {
    chip8.memory[0xFFF] = 0x80;
    chip8.memory[0x000] = 0x40;
    chip8.I = 0xFFF;
    chip8.hiRes = 1;
    drawChip8Sprite(0, 0, 2);
    EXPECT_TRUE(lit(0, 0));
    EXPECT_TRUE(lit(1, 1));
    EXPECT_EQ(litCells().size(), 2u);
}

TEST_F(Chip8ScreenTest, ScrollsMoveBufferPixels) {
    draw(true, 0, 0, 1, {0x80});   // column 0 of row 0
    draw(true, 120, 5, 1, {0x24}); // columns 122 and 125 of row 5
    draw(true, 4, 63, 1, {0x80});  // column 4 of the bottom row
    executeChip8Instruction(0x00FB);
    std::set<std::pair<std::uint32_t, std::uint32_t>> expected = {{4, 0}, {126, 5}, {8, 63}};
    EXPECT_EQ(litCells(), expected);

    executeChip8Instruction(0x00FC);
    executeChip8Instruction(0x00FC);
    expected = {{118, 5}, {0, 63}};
    EXPECT_EQ(litCells(), expected);

    executeChip8Instruction(0x00C1);
    expected = {{118, 6}};
    EXPECT_EQ(litCells(), expected);
    executeChip8Instruction(0x00CF);
    expected = {{118, 21}};
    EXPECT_EQ(litCells(), expected);
    EXPECT_EQ(chip8.V[15], 0) << "scrolls touch no flag";
}

// While another thread holds the "tRender" mutex, a draw waits for it.
TEST_F(Chip8ScreenTest, DrawWaitsForTheRenderMutex) {
    chip8.renderWorker = std::make_unique<WorkerThread>();
    createWorker(*chip8.renderWorker, "tRender", [] {});
    lockFromOutside(chip8.renderWorker.get());
    std::atomic<bool> released{false};
    std::atomic<bool> drawSawRelease{false};
    std::thread executor([&] {
        drawChip8Sprite(0, 0, 1);
        drawSawRelease = released.load();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    released = true;
    unlockFromOutside(chip8.renderWorker.get());
    executor.join();
    stopWorker(chip8.renderWorker);
    EXPECT_TRUE(drawSawRelease);
}
} // namespace
