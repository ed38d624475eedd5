// Sprites, collision, clear and scrolls on the 128 x 64 buffer.

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/screen.h"
#include "tests/chip8_test_machine.h"
#include "workers/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {
using Cells = std::set<std::pair<std::uint32_t, std::uint32_t>>; // (column, row)

Cells litCells() {
    Cells cells;
    for (std::uint32_t i = 0; i < chip8.screen.size(); ++i) {
        if (chip8.screen[i] != 0) {
            cells.insert({i % chip8ScreenWidth, i / chip8ScreenWidth});
        }
    }
    return cells;
}

Cells block(std::initializer_list<std::uint32_t> columns,
            std::initializer_list<std::uint32_t> rows) {
    Cells cells;
    for (const std::uint32_t column : columns) {
        for (const std::uint32_t row : rows) {
            cells.insert({column, row});
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
    static void draw(bool high, std::uint8_t x, std::uint8_t y, std::uint8_t n,
                     std::initializer_list<std::uint8_t> sprite, std::uint16_t address = 0x300) {
        for (std::size_t i = 0; i < sprite.size(); ++i) {
            chip8.memory[(address + i) % chip8MemorySize] = sprite.begin()[i];
        }
        chip8.I = address;
        chip8.hiRes = high ? 1 : 0;
        drawChip8Sprite(x, y, n);
    }
};

TEST_F(Chip8ScreenTest, SpritesWrapAtEveryEdgeInBothResolutions) {
    draw(true, 124, 62, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(litCells(), block({124, 125, 126, 127, 0, 1, 2, 3}, {62, 63, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(chip8.V[15], 0);

    clearChip8Screen(); // 16 x 16: the right halves eight columns on
    draw(true, 120, 60, 0, {0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF,
                            0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81,
                            0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81, 0xFF, 0x81});
    Cells wide = block({120, 121, 122, 123, 124, 125, 126, 127, 0, 7}, {60, 61, 62, 63});
    wide.merge(block({120, 121, 122, 123, 124, 125, 126, 127, 0, 7},
                     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(litCells(), wide);

    clearChip8Screen(); // low resolution: CHIP-8 columns 62, 63 and 5, rows 31 and 0
    draw(false, 62, 31, 2, {0xC1, 0x80});
    Cells low = block({124, 125, 126, 127, 10, 11}, {62, 63});
    low.merge(block({124, 125}, {0, 1}));
    EXPECT_EQ(litCells(), low);
    EXPECT_EQ(console(), "");

    clearChip8Screen(); // sprite data wraps at the end of memory
    draw(true, 0, 0, 2, {0x80, 0x40}, 0xFFF);
    EXPECT_EQ(litCells(), (Cells{{0, 0}, {1, 1}}));
}

TEST_F(Chip8ScreenTest, LowResolutionSixteenRowSpriteIsEightWideAndReportsItsLastRow) {
    draw(false, 0, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x80});
    Cells expected = block({0, 1}, {30, 31});
    for (std::uint32_t row = 0; row < 30; ++row) {
        expected.merge(block({14, 15}, {row}));
    }
    EXPECT_EQ(litCells(), expected);
    std::string eight;
    for (int i = 0; i < 8; ++i) {
        eight += "Sprite 8x16!\n";
    }
    EXPECT_EQ(console(), eight);
}

TEST_F(Chip8ScreenTest, CollisionIsReportedPerDrawAndPerLowResolutionBlock) {
    draw(true, 10, 10, 1, {0x00});
    EXPECT_EQ(chip8.V[15], 0);
    EXPECT_TRUE(litCells().empty());
    draw(true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(chip8.V[15], 0);
    EXPECT_EQ(litCells().size(), 8u);
    draw(true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(chip8.V[15], 1);
    EXPECT_TRUE(litCells().empty()) << "drawing twice restores";

    // One high-resolution pixel in a block is enough, and all four then flip.
    draw(true, 3, 1, 1, {0x80});
    draw(false, 1, 0, 1, {0x80});
    EXPECT_EQ(chip8.V[15], 1);
    EXPECT_EQ(litCells(), (Cells{{2, 0}, {3, 0}, {2, 1}}));
    clearChip8Screen();
    EXPECT_TRUE(litCells().empty());
    EXPECT_EQ(chip8.eraseFlag, 1) << "clearing leaves the erase flag";
}

TEST_F(Chip8ScreenTest, ScrollsMoveBufferPixels) {
    draw(true, 0, 0, 1, {0x80});   // column 0 of row 0
    draw(true, 120, 5, 1, {0x24}); // columns 122 and 125 of row 5
    draw(true, 4, 63, 1, {0x80});  // column 4 of the bottom row
    const std::pair<std::uint16_t, Cells> steps[] = {
        {0x00FB, {{4, 0}, {126, 5}, {8, 63}}}, // column 125 falls off
        {0x00FC, {{0, 0}, {122, 5}, {4, 63}}},
        {0x00FC, {{118, 5}, {0, 63}}},
        {0x00C1, {{118, 6}}}, // the bottom row falls off
        {0x00CF, {{118, 21}}},
    };
    for (const auto& [opcode, expected] : steps) {
        executeChip8Instruction(opcode);
        EXPECT_EQ(litCells(), expected) << std::hex << opcode;
    }
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
