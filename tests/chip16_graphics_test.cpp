#include "chip16/graphics.h"

#include "tests/chip16_test_support.h"

namespace {
// A machine with a `widthBytes` x `rows` sprite of the given bytes at 0x1000.
std::unique_ptr<Chip16Machine> withSprite(int widthBytes, int rows,
                                          std::initializer_list<std::uint8_t> bytes) {
    auto m = machineWith(Chip16Program().at(0x1000).data(bytes));
    m->spriteWidth = widthBytes;
    m->spriteHeight = rows;
    return m;
}

void draw(Chip16Machine& m, int x, int y) {
    drawChip16Sprite(m, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), 0x1000);
}

long lit(const Chip16Machine& m) {
    return long(m.screen.size()) - std::count(m.screen.begin(), m.screen.end(), 0);
}
} // namespace

TEST(Chip16Graphics, NibblesFlipsTransparencyAndCollision) {
    // Rows 12 30 and 45 60 drawn at (10, 20) over a colour 7 under each row's zero nibble.
    const char* expected[4] = {"1237/4567", "7321/7654", "4567/1237", "7654/7321"};
    for (int flips = 0; flips < 4; ++flips) {
        auto m = withSprite(2, 2, {0x12, 0x30, 0x45, 0x60});
        m->flipHorizontal = flips & 1;
        m->flipVertical = flips >> 1;
        m->screen[20 * 320 + 13 - 3 * m->flipHorizontal] = 7;
        m->screen[21 * 320 + 13 - 3 * m->flipHorizontal] = 7;
        draw(*m, 10, 20);
        std::string shown;
        for (int i = 0; i < 8; ++i) {
            shown +=
                (i == 4 ? "/" : "") + std::to_string(m->screen[(20 + i / 4) * 320 + 10 + i % 4]);
        }
        EXPECT_EQ(shown, expected[flips]) << "flip bits " << flips;
        EXPECT_EQ(lit(*m), 8);
        EXPECT_EQ(m->carry, 0) << "transparent pixels over colour do not collide";
        draw(*m, 10, 20);
        EXPECT_EQ(m->carry, 1) << "drawn over itself";
    }
}

TEST(Chip16Graphics, ClippedAtEveryEdgeWithoutWrappingOrCollidingThere) {
    struct Case {
        int x, y, columns, rows, firstX, firstY;
    } const cases[] = {
        {-3, 10, 1, 3, 0, 10},    {318, 10, 2, 3, 318, 10}, {10, -2, 4, 1, 10, 0},
        {10, 238, 4, 2, 10, 238}, {-2, -1, 2, 2, 0, 0},     {319, 239, 1, 1, 319, 239},
        {-4, 10, 0, 0, 0, 0},     {320, 10, 0, 0, 0, 0},    {-32768, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto m = withSprite(2, 3, {0x55, 0x55, 0x55, 0x55, 0x55, 0x55});
        draw(*m, c.x, c.y);
        EXPECT_EQ(lit(*m), c.columns * c.rows) << c.x << "," << c.y;
        for (int i = 0; i < c.columns * c.rows; ++i) {
            EXPECT_EQ(m->screen[(c.firstY + i / c.columns) * 320 + c.firstX + i % c.columns], 5);
        }
        m->screen.fill(9);
        draw(*m, c.x, c.y);
        EXPECT_EQ(m->carry, c.columns > 0) << "collides only where it shows";
    }
}

TEST(Chip16Graphics, SpritesEndingAt0xFFFFDrawAndLongerOnesAreRefused) {
    Chip16Program program;
    program.spr(8, 2).drw(1, 2, 0xFFF0).drw(1, 2, 0xFFF1).spr(0, 200).drwR(1, 2, 3);
    auto m = machineWith(program);
    std::fill(m->memory.begin() + 0xFFF0, m->memory.end(), 0x11);
    m->R[3] = 0xFFFF;
    CapturedConsole console;
    step(*m, 2);
    EXPECT_EQ(lit(*m), 32) << "data ending at 0xFFFF draws";
    m->screen.fill(0);
    m->carry = 1;
    step(*m);
    EXPECT_EQ(console.take(), "Error: Sprite reading past 64k memory!!!\n");
    EXPECT_EQ(lit(*m) + m->carry, 0);
    step(*m, 2);
    EXPECT_EQ(console.take(), "") << "a zero-width sprite reads nothing";
}
