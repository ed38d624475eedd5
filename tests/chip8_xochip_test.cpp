// The XO-CHIP rules: the long load (the skips over it are tested with the other skips),
// register ranges, the two planes, the sound registers and the 64 KiB memory.

#include "tests/chip8_test_machine.h"

namespace {
using namespace chip8reg;

class XoChipTest : public Chip8ProgramTest {
  protected:
    void SetUp() override {
        Chip8ProgramTest::SetUp();
        m.rules = chip8RulesFor(Chip8Variant::XoChip);
    }

    // The first `count` cells of a buffer row as digits: 0 dark, 1 plane 1, 2 plane 2,
    // 3 both.
    std::string row(std::uint32_t y, std::uint32_t count = 8) const {
        std::string digits;
        for (std::uint32_t x = 0; x < count; ++x) {
            digits += static_cast<char>('0' + m.screen[y * 128 + x]);
        }
        return digits;
    }

    void clearScreen() { m.screen.fill(0); }
};

// The long load sets all 16 bits of I and runs on after its address word; the next
// instruction then uses it.
TEST_F(XoChipTest, LongLoadSetsAllSixteenBitsOfI) {
    execute(Chip8Program().ldiLong(0xABCD).ld(V3, 9), {}, 2);
    EXPECT_EQ(ints(m.I, m.pc, m.V[3]), ints(0xABCD, 0x206, 9));
    execute(Chip8Program().ldiLong(0xFFFF).load(V1), {}, 2);
    EXPECT_EQ(ints(m.I, m.V[0], m.V[1]), ints(0x0001, 0, 0xF0))
        << "V1 from 0x0000 (the font's first byte) after 0xFFFF; I moved past both";
}

// 5xy2 stores and 5xy3 loads Vx to Vy in the order written, either way round, with
// V1-V4 = 11 22 33 44 and A0 A1 A2 A3 from 0x300 on; I stays.
TEST_F(XoChipTest, RegisterRangesRunInEitherDirectionAndLeaveI) {
    const struct {
        std::uint16_t opcode;
        std::vector<int> memory, registers;
    } cases[] = {{0x5132, {0x11, 0x22, 0x33, 0xA3}, {0x11, 0x22, 0x33, 0x44}},
                 {0x5312, {0x33, 0x22, 0x11, 0xA3}, {0x11, 0x22, 0x33, 0x44}},
                 {0x5412, {0x44, 0x33, 0x22, 0x11}, {0x11, 0x22, 0x33, 0x44}},
                 {0x5222, {0x22, 0xA1, 0xA2, 0xA3}, {0x11, 0x22, 0x33, 0x44}},
                 {0x5133, {0xA0, 0xA1, 0xA2, 0xA3}, {0xA0, 0xA1, 0xA2, 0x44}},
                 {0x5313, {0xA0, 0xA1, 0xA2, 0xA3}, {0xA2, 0xA1, 0xA0, 0x44}}};
    for (const auto& c : cases) {
        execute(Chip8Program().ldi(0x300).op(c.opcode),
                {{1, 0x11}, {2, 0x22}, {3, 0x33}, {4, 0x44}}, 0);
        poke(0x300, {0xA0, 0xA1, 0xA2, 0xA3});
        run(2);
        EXPECT_EQ(ints(m.memory[0x300], m.memory[0x301], m.memory[0x302], m.memory[0x303]),
                  c.memory)
            << std::hex << c.opcode;
        EXPECT_EQ(ints(m.V[1], m.V[2], m.V[3], m.V[4]), c.registers) << std::hex << c.opcode;
        EXPECT_EQ(m.I, 0x300);
    }
}

// Fn01 selects planes, F002 takes 16 bytes from I as the audio pattern (wrapping at the
// end of memory), Fx3A sets the pitch; Fx75/Fx85 save and restore all 16 registers.
TEST_F(XoChipTest, PlaneSelectionSoundRegistersAndSixteenFlags) {
    for (const int mask : {0, 1, 2, 3}) {
        execute(Chip8Program().planes(static_cast<std::uint8_t>(mask)));
        EXPECT_EQ(m.planes, mask);
    }
    const std::vector<std::uint8_t> pattern = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,
                                               0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97};
    execute(Chip8Program().ldiLong(0xFFF8).audio().pitch(VE), {{0xE, 112}}, 0);
    poke(0xFFF8, pattern); // eight bytes at the end of memory, eight from address 0
    run(3);
    EXPECT_EQ(std::vector<std::uint8_t>(m.audioPattern.begin(), m.audioPattern.end()), pattern);
    EXPECT_EQ(m.pitch, 112);

    load(Chip8Program().storeFlags(VF).ld(V0, 0).ld(VF, 0).loadFlags(VF).bytes());
    for (std::size_t i = 0; i < 16; ++i) {
        m.V[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    run(4);
    EXPECT_EQ(ints(m.V[0], m.V[15], m.rplFlags[15]), ints(0x40, 0x4F, 0x4F));
    EXPECT_EQ(console(), "LDHPv\nLDvHP\n");
}

// Under the machine's own rules the new opcodes stay unknown (and Fx75 stops at V7, as the
// RPL flags' test shows).
TEST_F(XoChipTest, OtherRulesKeepTheNewOpcodesUnknown) {
    m.rules = quorvixRules;
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x5012, "5012"}, {0x5013, "5013"}, {0xF000, "f000"}, {0xF201, "f201"},
        {0xF002, "f002"}, {0xF03A, "f03a"}, {0x00D1, "d1"}};
    for (const auto& [opcode, hex] : cases) {
        execute(op(opcode));
        EXPECT_EQ(console(), std::string("Unknown Instruction! [0x") + hex + "]\n");
        EXPECT_EQ(ints(m.pc, m.I, m.planes), ints(0x202, 0, 1));
    }
}

// A 1-row sprite whose plane-1 byte is F0 and plane-2 byte 3C, drawn at the left edge
// with each plane mask: plane 2 alone takes the first byte, both take one byte each.
// The 16 x 16 sprite takes 32 bytes per plane in both resolutions.
TEST_F(XoChipTest, DrawingTakesOneSpritePerSelectedPlane) {
    const struct {
        std::uint8_t planes;
        const char* cells;
    } masks[] = {{0, "00000000"}, {1, "11110000"}, {2, "22220000"}, {3, "11332200"}};
    for (const auto& c : masks) {
        clearScreen();
        draw(c.planes, true, 0, 0, 1, {0xF0, 0x3C});
        EXPECT_EQ(row(0), c.cells) << int{c.planes};
        EXPECT_EQ(m.V[15], 0);
    }

    std::vector<std::uint8_t> sprites(64, 0);
    sprites[0] = 0x80;  // plane 1, row 0: column 0
    sprites[31] = 0x01; // plane 1, row 15: column 15
    sprites[32] = 0xC0; // plane 2, row 0: columns 0 and 1
    for (const bool high : {true, false}) {
        clearScreen();
        draw(3, high, 0, 0, 0, sprites);
        const std::uint32_t scale = high ? 1 : 2;
        EXPECT_EQ(row(0, 2 * scale), high ? "32" : "3322") << high;
        EXPECT_EQ(m.screen[(15 * 128 + 15) * scale], 1) << high;
    }
    EXPECT_EQ(console(), "");
}

// VF is 1 when any selected plane turned a lit pixel off, and only the selected planes
// count: a plane-2 pixel under a plane-1 draw is no collision.
TEST_F(XoChipTest, CollisionCountsEverySelectedPlane) {
    const struct {
        std::uint8_t litCell, planes;
        int vf;
        const char* cells;
    } cases[] = {
        {2, 1, 0, "30000000"}, {2, 3, 1, "10000000"}, {1, 3, 1, "20000000"},
        {1, 2, 0, "30000000"}, {3, 3, 1, "00000000"}, {0, 3, 0, "30000000"},
    };
    for (const auto& c : cases) {
        clearScreen();
        m.screen[0] = c.litCell;
        draw(c.planes, true, 0, 0, 1, {0x80, 0x80});
        EXPECT_EQ(ints(m.V[15], m.eraseFlag), ints(c.vf, c.vf)) << int{c.litCell} << int{c.planes};
        EXPECT_EQ(row(0), c.cells) << int{c.litCell} << int{c.planes};
    }
    clearScreen(); // low resolution tests the 2 x 2 block in the plane
    m.screen[129] = 2;
    draw(2, false, 0, 0, 1, {0x80});
    EXPECT_EQ(ints(m.V[15], m.screen[0], m.screen[129]), ints(1, 2, 0));
}

// Clear and the scrolls move only the selected planes; 00Dn scrolls up n rows in high
// resolution and n whole pixels (2n buffer rows) in low.
TEST_F(XoChipTest, ClearAndScrollsActOnTheSelectedPlanesOnly) {
    const auto fill = [&] {
        clearScreen();
        for (std::uint32_t y = 0; y < 64; ++y) {
            m.screen[y * 128] = static_cast<std::uint8_t>(y == 4 ? 3 : y == 6 ? 1 : 0);
        }
    };
    const auto column = [&] {
        std::string cells;
        for (std::uint32_t y = 0; y < 8; ++y) {
            cells += static_cast<char>('0' + m.screen[y * 128]);
        }
        return cells;
    };
    const struct {
        std::uint8_t planes, hiRes;
        std::uint16_t opcode;
        const char* column;
    } scrolls[] = {
        {2, 1, 0x00D1, "00021010"}, // plane 2 up one row
        {2, 0, 0x00D1, "00201010"}, // plane 2 up one whole pixel
        {3, 1, 0x00D3, "03010000"}, // both planes up three rows
        {1, 1, 0x00C1, "00002101"}, // plane 1 down one row
    };
    for (const auto& s : scrolls) {
        fill();
        m.planes = s.planes;
        m.hiRes = s.hiRes;
        executeChip8Instruction(m, s.opcode);
        EXPECT_EQ(column(), s.column) << std::hex << s.opcode << " " << int{s.hiRes};
    }
    fill();
    m.planes = 2;
    m.screen[5] = 3;
    executeChip8Instruction(m, 0x00FB);
    EXPECT_EQ(ints(m.screen[5], m.screen[9]), ints(1, 2)) << "plane 2 right four columns";
    executeChip8Instruction(m, 0x00E0);
    EXPECT_EQ(column(), "00001010") << "clear of plane 2";
    EXPECT_EQ(m.screen[5], 1);
}

// Memory is 64 KiB: the fetch, the stores and the sprite bytes wrap at 0xFFFF, and a
// ROM of 65,024 bytes loads whole while a longer one is cut at the end of memory.
TEST_F(XoChipTest, SixtyFourKilobytesWrapAndHoldTheLongestRom) {
    load({});
    poke(0xFFFE, {0x6A, 0x42, 0x13, 0x00}); // 6A42 at the very end, then 1300 from address 0
    m.pc = 0xFFFE;
    run(2);
    EXPECT_EQ(ints(m.V[0xA], m.pc), ints(0x42, 0x300));

    m.I = 0xFFFF;
    m.V[0] = 1;
    m.V[1] = 2;
    executeChip8Instruction(m, 0xF155);
    EXPECT_EQ(ints(m.memory[0xFFFF], m.memory[0], m.I), ints(1, 2, 0x0001))
        << "Fx55 moves I, wrapping";
    m.I = 0xFFFF;
    m.V[15] = 7;
    executeChip8Instruction(m, 0xF11E);
    EXPECT_EQ(ints(m.I, m.V[15]), ints(0x0001, 7)) << "Fx1E wraps and leaves VF";

    clearScreen();
    draw(1, true, 0, 0, 2, {0x80, 0x40}, 0xFFFF);
    EXPECT_EQ(row(0, 2) + row(1, 2), "1001") << "the sprite's second byte from 0x0000";

    std::vector<std::uint8_t> rom(65024);
    for (std::size_t i = 0; i < rom.size(); ++i) {
        rom[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    load(rom);
    EXPECT_TRUE(std::equal(rom.begin(), rom.end(), m.memory.begin() + 512));
    rom.push_back(0xEE);
    load(rom);
    EXPECT_EQ(ints(m.memory[0xFFFF], m.memory[0]), ints(rom[65023], 0xF0)) << "cut, fonts kept";
    EXPECT_EQ(console(), "");

    m.rules = chip8RulesFor(Chip8Variant::SuperChipModern);
    load(rom);
    EXPECT_EQ(ints(m.memory[0xFFF], m.memory[0x1000]), ints(rom[3583], 0)) << "4 KiB elsewhere";
}
} // namespace
