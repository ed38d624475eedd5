// The fixed rules both machines start from: key maps and the state of a machine start.

#include "app/key_tables.h"
#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "tests/support/ints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

// Keys by their place on the keyboard, as Linux input event codes, over every code there
// is: CHIP-8 keys 0-F on the left of the keyboard (X 1 2 3, Q W E A, S D Z C, 4 R F V),
// and the Chip-16 controller bits Up Down Left Right Select Start A B on the arrows,
// X, Z, C and V. No other key reaches either machine.
TEST(MachineRules, KeyTablesMapThesePhysicalKeys) {
    const std::array<unsigned, 16> chip8Keys = {45, 2,  3,  4,  16, 17, 18, 30,
                                                31, 32, 44, 46, 5,  19, 33, 47};
    const std::array<unsigned, 8> chip16Buttons = {103, 108, 105, 106, 45, 44, 46, 47};
    for (unsigned code = 0; code < 768; ++code) {
        const auto key = chip8KeyOfInputCode(code);
        const auto at = std::find(chip8Keys.begin(), chip8Keys.end(), code);
        EXPECT_EQ(key, at == chip8Keys.end()
                           ? std::nullopt
                           : std::optional<unsigned>(static_cast<unsigned>(at - chip8Keys.begin())))
            << code;
        const auto button = machineKeyOfInputCode(MachineKind::Chip16, code);
        const auto place = std::find(chip16Buttons.begin(), chip16Buttons.end(), code);
        EXPECT_EQ(button, place == chip16Buttons.end()
                              ? std::nullopt
                              : std::optional<unsigned>(
                                    static_cast<unsigned>(place - chip16Buttons.begin())))
            << code;
    }
    for (unsigned key = 0; key < 16; ++key) {
        EXPECT_EQ(inputCodeOfChip8Key(key), chip8Keys[key]);
    }
    for (unsigned bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(inputCodeOfChip16Button(bit), chip16Buttons[bit]);
    }
}

// Every field a start resets is set to something else first; memory, the erase flag and
// the stack keep their values.
TEST(MachineRules, Chip8StartState) {
    auto m = std::make_unique<Chip8Machine>();
    m->V.fill(7);
    m->I = 0x123;
    m->delayTimer = m->soundTimer = 9;
    m->pc = 0x456;
    m->sp = 5;
    m->rplFlags.fill(3);
    m->planes = 3;
    m->audioPattern.fill(0x55);
    m->pitch = 200;
    m->delayTimerLastTick = m->soundTimerLastTick = 1234;
    m->screen.fill(1);
    m->screenWidth = m->screenHeight = 3;
    m->hiRes = m->eraseFlag = 1;
    m->memory.fill(0xEE);
    m->stack.fill(0x222);
    resetChip8Machine(*m);
    EXPECT_EQ(m->V, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(m->rplFlags, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(m->audioPattern, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(ints(m->planes, m->pitch), ints(1, 64)) << "plane 1 selected, pitch 64";
    EXPECT_EQ(ints(m->I, m->delayTimer, m->soundTimer, m->pc, m->sp, m->hiRes),
              ints(0, 0, 0, 512, 0, 0));
    EXPECT_EQ(m->delayTimerLastTick + m->soundTimerLastTick, 0u);
    EXPECT_EQ(std::count(m->screen.begin(), m->screen.end(), 0), 128 * 64);
    EXPECT_EQ(m->screenWidth * 1000 + m->screenHeight, 128'064u) << "128 x 64";
    EXPECT_EQ(m->eraseFlag, 1);
    EXPECT_EQ(std::count(m->stack.begin(), m->stack.end(), 0x222), 16);
    EXPECT_EQ(std::count(m->memory.begin(), m->memory.end(), 0xEE), 65536);
}

TEST(MachineRules, Chip16StartState) {
    auto m = std::make_unique<Chip16Machine>();
    m->cycles = 5.5;
    m->R.fill(0x7777);
    m->pc = m->sp = 0x1234;
    m->vblank = m->carry = m->zero = m->overflow = m->negative = 1;
    m->screen.fill(4);
    m->spriteWidth = m->spriteHeight = 8;
    m->backgroundColour = m->flipHorizontal = m->flipVertical = 1;
    m->memory.fill(0xEE);
    m->startAddress = 0x0400;
    m->framesCompleted = 99;
    m->unknownOpcodeCounts.fill(2);
    resetChip16(*m);
    EXPECT_EQ(m->cycles, 0.0);
    EXPECT_EQ(m->R, (std::array<std::uint16_t, 16>{}));
    EXPECT_EQ(ints(m->pc, m->sp, m->vblank, m->carry, m->zero, m->overflow, m->negative,
                   m->spriteWidth, m->spriteHeight, m->backgroundColour, m->flipHorizontal,
                   m->flipVertical),
              ints(0x0400, 0xFDF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(std::count(m->screen.begin(), m->screen.end(), 0), 320 * 240);
    EXPECT_EQ(m->framesCompleted, 0u);
    EXPECT_EQ(std::count(m->unknownOpcodeCounts.begin(), m->unknownOpcodeCounts.end(), 0), 256);
    EXPECT_EQ(std::count(m->memory.begin(), m->memory.end(), 0xEE), 65536);
}
