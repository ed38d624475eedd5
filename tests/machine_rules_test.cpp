// The fixed rules both machines start from: key maps and the state of a machine start.

#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "tests/support/ints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

TEST(MachineRules, KeyMapsAreTheseWindowsVirtualKeyCodes) {
    // CHIP-8 keys 0-F on the left of a QWERTY keyboard: X 1 2 3, Q W E A, S D Z C, 4 R F V.
    const std::array<std::uint8_t, 16> chip8Keys = {0x58, 0x31, 0x32, 0x33, 0x51, 0x57, 0x45, 0x41,
                                                    0x53, 0x44, 0x5A, 0x43, 0x34, 0x52, 0x46, 0x56};
    EXPECT_TRUE(std::equal(chip8Keys.begin(), chip8Keys.end(), Chip8Machine::keyMap.begin()));
    // Chip-16 controller entries 16-23: the arrows Up Down Left Right, then C (A), V (B),
    // X (Select), Z (Start).
    const std::array<std::uint8_t, 8> chip16Keys = {0x26, 0x28, 0x25, 0x27, 0x43, 0x56, 0x58, 0x5A};
    EXPECT_TRUE(
        std::equal(chip16Keys.begin(), chip16Keys.end(), Chip16Machine::keyMap.begin() + 16));
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
