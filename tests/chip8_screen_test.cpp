// Sprites, collision, clear and scrolls on the 128 x 64 buffer.

#include "tests/chip8_test_machine.h"
#include "workers/worker_thread.h"

#include <atomic>
#include <future>
#include <set>
#include <thread>

namespace {
using Cells = std::set<std::pair<std::uint32_t, std::uint32_t>>; // (column, row)
using Chip8ScreenTest = Chip8ProgramTest;

Cells litCells(const Chip8Machine& m) {
    Cells cells;
    for (std::uint32_t i = 0; i < m.screen.size(); ++i) {
        if (m.screen[i] != 0) {
            cells.insert({i % chip8ScreenWidth, i / chip8ScreenWidth});
        }
    }
    return cells;
}

// The buffer cells of the rectangles, wrapping past the right and bottom edges.
Cells areas(std::initializer_list<Area> rectangles) {
    Cells cells;
    for (const Area& a : rectangles) {
        for (std::uint32_t c = a.column; c < a.column + a.width; ++c) {
            for (std::uint32_t r = a.row; r < a.row + a.height; ++r) {
                cells.insert({c % chip8ScreenWidth, r % chip8ScreenHeight});
            }
        }
    }
    return cells;
}

TEST_F(Chip8ScreenTest, SpritesWrapAtEveryEdgeInBothResolutions) {
    draw(1, true, 124, 62, 8, std::vector<std::uint8_t>(8, 0xFF));
    EXPECT_EQ(litCells(m), areas({{124, 62, 8, 8}}));
    EXPECT_EQ(m.V[15], 0);

    std::vector<std::uint8_t> wide; // 16 x 16: the right halves eight columns on
    for (int row = 0; row < 16; ++row) {
        wide.insert(wide.end(), {0xF0, 0xC1});
    }
    clearChip8Screen(m);
    draw(1, true, 120, 60, 0, wide);
    EXPECT_EQ(litCells(m), areas({{120, 60, 4, 16}, {0, 60, 2, 16}, {7, 60, 1, 16}}));

    clearChip8Screen(m); // low resolution: CHIP-8 columns 62, 63 and 5, rows 31 and 0
    draw(1, false, 62, 31, 2, {0xC1, 0x80});
    EXPECT_EQ(litCells(m), areas({{124, 62, 4, 2}, {10, 62, 2, 2}, {124, 0, 2, 2}}));
    EXPECT_EQ(console(), "");

    clearChip8Screen(m); // sprite data wraps at the end of memory
    draw(1, true, 0, 0, 2, {0x80, 0x40}, 0xFFF);
    EXPECT_EQ(litCells(m), (Cells{{0, 0}, {1, 1}}));
}

// Sixteen rows of eight columns; the message comes once per column of the last row.
TEST_F(Chip8ScreenTest, LowResolutionSixteenRowSpriteIsEightWideAndReportsItsLastRow) {
    std::vector<std::uint8_t> sprite(16, 0x01);
    sprite[15] = 0x80;
    draw(1, false, 0, 0, 0, sprite);
    EXPECT_EQ(litCells(m), areas({{14, 0, 2, 30}, {0, 30, 2, 2}}));
    EXPECT_EQ(console(), "Sprite 8x16!\nSprite 8x16!\nSprite 8x16!\nSprite 8x16!\n"
                         "Sprite 8x16!\nSprite 8x16!\nSprite 8x16!\nSprite 8x16!\n");
}

TEST_F(Chip8ScreenTest, CollisionIsReportedPerDrawAndPerLowResolutionBlock) {
    draw(1, true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(litCells(m).size(), 8u);
    draw(1, true, 10, 10, 2, {0xA5, 0x3C});
    EXPECT_EQ(m.V[15], 1);
    EXPECT_TRUE(litCells(m).empty()) << "drawing twice restores";
    draw(1, true, 3, 1, 1, {0x80});
    EXPECT_EQ(m.V[15], 0) << "each draw reports only its own collisions";
    // One high-resolution pixel in a block is enough, and all four then flip.
    draw(1, false, 1, 0, 1, {0x80});
    EXPECT_EQ(m.V[15], 1);
    EXPECT_EQ(litCells(m), (Cells{{2, 0}, {3, 0}, {2, 1}}));
    clearChip8Screen(m);
    EXPECT_TRUE(litCells(m).empty());
    EXPECT_EQ(m.eraseFlag, 1) << "clearing leaves the erase flag";
}

// Every cell of a full buffer, in each plane selection and each block width: the cells move by
// whole rows or by 4 columns (8 with whole low-resolution pixels), 0 comes in from outside, the
// planes not selected and the bits above the planes stay. The pattern differs between neighbouring
// cells, rows and blocks of 4 to 64 cells, so a block moved whole or to the wrong place shows.
TEST_F(Chip8ScreenTest, ClearAndScrollsMoveEveryCellInTheSelectedPlanesOnly) {
    const auto pattern = [](std::uint32_t x, std::uint32_t y) {
        return static_cast<std::uint8_t>(x * 37 + y * 101 + x / 5 + (x >> 6) * 3);
    };
    struct Case {
        std::uint16_t opcode;
        bool high;
        int right, down; // how far a cell moves, in buffer pixels
    };
    const Case cases[] = {
        {0x00E0, true, 0, 0},   {0x00C4, true, 0, 4},  {0x00C1, true, 0, 1},
        {0x00CF, true, 0, 15},  {0x00D3, true, 0, -3}, {0x00D1, true, 0, -1},
        {0x00FB, true, 4, 0},   {0x00FC, true, -4, 0}, {0x00FB, false, 8, 0},
        {0x00FC, false, -8, 0}, {0x00C3, false, 0, 6}, {0x00DF, false, 0, -30},
    };
    m.rules.wholePixelLowResolutionScroll = true;
    m.rules.xoChipInstructions = true; // 00Dn scrolls up
    // Cells that differ from the rule after one instruction on the pattern.
    const auto wrongCells = [&](const Case& c, std::uint8_t planes) {
        for (std::uint32_t i = 0; i < m.screen.size(); ++i) {
            m.screen[i] = pattern(i % 128, i / 128);
        }
        m.planes = planes;
        m.hiRes = c.high ? 1 : 0;
        executeChip8Instruction(m, c.opcode);
        int wrong = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 128; ++x) {
                const int fromX = x - c.right;
                const int fromY = y - c.down;
                const bool inside =
                    c.opcode != 0x00E0 && fromX >= 0 && fromX < 128 && fromY >= 0 && fromY < 64;
                const int moved = inside ? pattern(fromX, fromY) : 0;
                const int expected = (pattern(x, y) & ~planes) | (moved & planes);
                wrong += m.screen[y * 128 + x] != expected ? 1 : 0;
            }
        }
        return wrong;
    };
    for (const std::size_t blockCells : {8, 16, 32, 64}) {
        if (!useChip8ScreenBlocks(blockCells)) {
            continue; // not on this processor
        }
        for (const std::uint8_t planes : {1, 2, 3}) {
            for (const Case& c : cases) {
                EXPECT_EQ(wrongCells(c, planes), 0)
                    << std::hex << c.opcode << " planes " << int{planes} << " high " << c.high
                    << " blocks of " << std::dec << blockCells;
            }
        }
    }
    EXPECT_FALSE(useChip8ScreenBlocks(24));
    EXPECT_TRUE(useChip8ScreenBlocks(0));
    // The last case by hand (both planes, 15 whole pixels up = 30 rows): cell (5, 33)
    // took the plane bits of (5, 63), 0x95, and kept its own others, 0xBF; the cleared
    // row 34 keeps 0x6A without its plane bits.
    EXPECT_EQ(ints(pattern(5, 33), pattern(5, 63), pattern(0, 34)), ints(0xBF, 0x95, 0x6A));
    EXPECT_EQ(ints(m.screen[33 * 128 + 5], m.screen[34 * 128]), ints(0xBD, 0x68));
}

// While another thread holds the "tRender" mutex, a draw waits for it.
TEST_F(Chip8ScreenTest, DrawWaitsForTheRenderMutex) {
    auto renderWorker = std::make_unique<WorkerThread>();
    createWorker(*renderWorker, "tRender", [] {});
    m.renderWorker = renderWorker.get();
    lockFromOutside(m.renderWorker);
    std::atomic<bool> released{false};
    auto drawSawRelease = std::async(std::launch::async, [&] {
        drawChip8Sprite(m, 0, 0, 1);
        return released.load();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    released = true;
    unlockFromOutside(m.renderWorker);
    EXPECT_TRUE(drawSawRelease.get());
    m.renderWorker = nullptr;
    stopWorker(renderWorker);
}
} // namespace
