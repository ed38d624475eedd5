#include "chip16/graphics.h"

#include "tests/chip16_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
std::uint8_t pixel(const Chip16Machine& m, int x, int y) {
    return m.screen[static_cast<std::size_t>(y) * chip16ScreenWidth + x];
}

int litPixels(const Chip16Machine& m) {
    return static_cast<int>(
        std::count_if(m.screen.begin(), m.screen.end(), [](std::uint8_t p) { return p != 0; }));
}

// A machine whose sprite is `widthBytes` x `rows` at 0x1000 with the given bytes.
std::unique_ptr<Chip16Machine> machineWithSprite(int widthBytes, int rows,
                                                 std::initializer_list<std::uint8_t> bytes) {
    Chip16Program program;
    program.at(0x1000).data(bytes);
    auto m = machineWith(program);
    m->spriteWidth = widthBytes;
    m->spriteHeight = rows;
    return m;
}

void draw(Chip16Machine& m, int x, int y) {
    drawChip16Sprite(m, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), 0x1000);
}
} // namespace

TEST(Chip16Sprites, NibblesDrawLeftToRightWithZeroTransparent) {
    auto m = machineWithSprite(2, 1, {0x12, 0x30});
    m->screen[3] = 7;
    draw(*m, 0, 0);
    EXPECT_EQ(pixel(*m, 0, 0), 1);
    EXPECT_EQ(pixel(*m, 1, 0), 2);
    EXPECT_EQ(pixel(*m, 2, 0), 3);
    EXPECT_EQ(pixel(*m, 3, 0), 7) << "nibble 0 leaves the screen alone";
    EXPECT_EQ(m->carry, 0) << "a transparent nibble over a lit pixel is no collision";
}

TEST(Chip16Sprites, FlipsMirrorWithinTheSameRectangle) {
    // Rows 0x12 0x30 and 0x45 0x60; drawn at (10, 20).
    struct Case {
        std::uint8_t horizontal, vertical;
        std::array<std::array<std::uint8_t, 4>, 2> expected;
    };
    const Case cases[] = {
        {0, 0, {{{1, 2, 3, 0}, {4, 5, 6, 0}}}},
        {1, 0, {{{0, 3, 2, 1}, {0, 6, 5, 4}}}},
        {0, 1, {{{4, 5, 6, 0}, {1, 2, 3, 0}}}},
        {1, 1, {{{0, 6, 5, 4}, {0, 3, 2, 1}}}},
    };
    for (const Case& c : cases) {
        auto m = machineWithSprite(2, 2, {0x12, 0x30, 0x45, 0x60});
        m->flipHorizontal = c.horizontal;
        m->flipVertical = c.vertical;
        draw(*m, 10, 20);
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 4; ++column) {
                EXPECT_EQ(pixel(*m, 10 + column, 20 + row), c.expected[row][column])
                    << "flips h=" << +c.horizontal << " v=" << +c.vertical << " at " << column
                    << "," << row;
            }
        }
        EXPECT_EQ(litPixels(*m), 6);
    }
}

TEST(Chip16Sprites, FlipInstructionSetsBothFlagsFromBits) {
    Chip16Program program;
    program.flip(true, true).flip(false, false).flip(true, false).raw(0x08, 0, 0, 0xFD);
    auto m = machineWith(program);
    step(*m);
    EXPECT_EQ(m->flipHorizontal + m->flipVertical, 2);
    step(*m);
    EXPECT_EQ(m->flipHorizontal + m->flipVertical, 0);
    step(*m);
    EXPECT_EQ(m->flipHorizontal, 1);
    EXPECT_EQ(m->flipVertical, 0);
    step(*m);
    EXPECT_EQ(m->flipHorizontal, 0) << "0xFD: only bits 0 and 1 count";
    EXPECT_EQ(m->flipVertical, 1);
}

TEST(Chip16Sprites, ClippedAtEveryEdgeWithoutWrapping) {
    // A solid 4 x 3 sprite of colour 5.
    const std::initializer_list<std::uint8_t> solid = {0x55, 0x55, 0x55, 0x55, 0x55, 0x55};
    struct Case {
        int x, y;
        int visibleColumns, visibleRows;
        int firstX, firstY;
    };
    const Case cases[] = {
        {-3, 10, 1, 3, 0, 10},    // left edge: the first three columns are lost
        {318, 10, 2, 3, 318, 10}, // right edge
        {10, -2, 4, 1, 10, 0},    // top edge
        {10, 238, 4, 2, 10, 238}, // bottom edge
        {-2, -1, 2, 2, 0, 0},     // top-left corner
        {319, 239, 1, 1, 319, 239}, {-4, 10, 0, 0, 0, 0},    // wholly off screen
        {320, 10, 0, 0, 0, 0},      {-32768, 0, 0, 0, 0, 0}, // 0x8000
    };
    for (const Case& c : cases) {
        auto m = machineWithSprite(2, 3, solid);
        draw(*m, c.x, c.y);
        SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
        EXPECT_EQ(litPixels(*m), c.visibleColumns * c.visibleRows);
        for (int row = 0; row < c.visibleRows; ++row) {
            for (int column = 0; column < c.visibleColumns; ++column) {
                EXPECT_EQ(pixel(*m, c.firstX + column, c.firstY + row), 5);
            }
        }
    }
}

TEST(Chip16Sprites, CollisionOnlyForDrawnPixelsInsideTheScreen) {
    auto m = machineWithSprite(1, 1, {0x77});
    draw(*m, 100, 100);
    EXPECT_EQ(m->carry, 0) << "over background";
    const auto first = m->screen;
    draw(*m, 100, 100);
    EXPECT_EQ(m->carry, 1) << "over itself";
    EXPECT_EQ(m->screen, first);

    // Columns that would wrap to the start of the next row, or to row 0, never collide.
    m->screen.fill(9);
    m->carry = 1;
    draw(*m, 319 + 1, 5);
    EXPECT_EQ(m->carry, 0);
    draw(*m, 5, 240);
    EXPECT_EQ(m->carry, 0);
    draw(*m, -1, 5);
    EXPECT_EQ(m->carry, 1) << "the visible column lands on colour 9";
}

TEST(Chip16Sprites, DataMayEndAtTheLastByteButNotBeyond) {
    Chip16Program program;
    program.spr(8, 2).drw(0, 1, 0xFFF0).drw(0, 1, 0xFFF1).spr(0, 200).drw(0, 1, 0xFFFF);
    auto m = machineWith(program);
    std::fill(m->memory.begin() + 0xFFF0, m->memory.end(), 0x11);
    CapturedConsole console;

    step(*m, 2);
    EXPECT_EQ(litPixels(*m), 32);
    EXPECT_EQ(console.take(), "");

    m->screen.fill(0);
    m->carry = 1;
    step(*m);
    EXPECT_EQ(console.take(), "Error: Sprite reading past 64k memory!!!\n");
    EXPECT_EQ(litPixels(*m), 0);
    EXPECT_EQ(m->carry, 0);

    m->carry = 1;
    step(*m, 2);
    EXPECT_EQ(console.take(), "") << "a zero-width sprite reads nothing";
    EXPECT_EQ(m->carry, 0);
    EXPECT_EQ(litPixels(*m), 0);
}

TEST(Chip16Sprites, RegisterFormTakesTheAddressFromZ) {
    Chip16Program program;
    program.spr(1, 1).drwR(1, 2, 3);
    program.at(0x2222).data({0xAB});
    auto m = machineWith(program);
    m->R[1] = 7;
    m->R[2] = 9;
    m->R[3] = 0x2222;
    step(*m, 2);
    EXPECT_EQ(pixel(*m, 7, 9), 0xA);
    EXPECT_EQ(pixel(*m, 8, 9), 0xB);
}

TEST(Chip16Screen, ClsClearsScreenAndBackgroundButKeepsSpriteSettings) {
    Chip16Program program;
    program.bgc(5).spr(3, 4).flip(true, false).cls();
    auto m = machineWith(program);
    m->screen.fill(4);
    m->carry = 1;
    step(*m, 3);
    EXPECT_EQ(m->backgroundColour, 5);
    step(*m);
    EXPECT_EQ(m->backgroundColour, 0);
    EXPECT_EQ(litPixels(*m), 0);
    EXPECT_EQ(m->spriteWidth, 3);
    EXPECT_EQ(m->spriteHeight, 4);
    EXPECT_EQ(m->flipHorizontal, 1);
    EXPECT_EQ(m->carry, 1);
}
