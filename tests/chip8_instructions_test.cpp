// The interpreter's instructions, family by family, on programs built in memory.

#include "chip8/chip8_machine.h"
#include "chip8/reset_request.h"
#include "chip8/timers.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"
#include "tests/chip8_test_machine.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <set>

namespace {
using namespace chip8reg;
using Registers = std::initializer_list<std::pair<int, int>>;

class Chip8InstructionTest : public Chip8MachineTest {
  protected:
    // Loads the program at 512, sets the registers and runs `steps` iterations.
    void execute(const Chip8Program& program, Registers registers = {}, int steps = 1) {
        loadChip8Program(program.bytes());
        for (const auto& [index, value] : registers) {
            chip8.V[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
        }
        runChip8(steps);
    }
    void execute(std::uint16_t opcode, Registers registers = {}) {
        execute(Chip8Program().op(opcode), registers);
    }
    static void press(int key) {
        setKeyDown(Chip8Machine::keyMap[static_cast<std::size_t>(key)], true);
    }
};

// VF is written before the result, and the subtractions and shifts read their operands
// after that, so with x or y = F the new flag takes part. Registers are set y, x, VF.
TEST_F(Chip8InstructionTest, ArithmeticWritesTheFlagBeforeTheResult) {
    struct Case {
        std::uint16_t opcode;
        int vy, vx, vf, expectedVx, expectedVf;
    };
    const Case cases[] = {
        {0x8014, 0x01, 0xFF, 0x55, 0x00, 1},
        {0x8014, 0x20, 0x10, 0x55, 0x30, 0},
        {0x8F14, 0x90, 0x80, 0x80, 0x10, 0x10}, // VF keeps the sum, not the carry
        {0x80F4, 0x05, 0x10, 0x05, 0x15, 0},    // operands read before the flag
        {0x8015, 5, 5, 0x55, 0, 1},
        {0x8015, 5, 3, 0x55, 0xFE, 0},
        {0x80F5, 5, 9, 5, 8, 1},             // 9 - new flag 1
        {0x8F15, 5, 9, 9, 0xFC, 0xFC},       // new flag 1 - 5
        {0x8016, 0xAA, 0x05, 0x55, 0x02, 1}, // Vy ignored
        {0x8F06, 0x00, 0xFF, 0xFF, 0, 0},    // always 0 with x = F
        {0x8017, 0, 1, 0x55, 0xFF, 0},
        {0x80F7, 7, 2, 7, 0xFF, 1}, // new flag 1 - 2
        {0x801E, 0x00, 0x81, 0x55, 0x02, 1},
        {0x8F0E, 0x00, 0x81, 0x81, 2, 2}, // 0 or 2
        {0x8011, 0x03, 0x0C, 0x55, 0x0F, 0x55},
        {0x8012, 0x06, 0x0C, 0x55, 0x04, 0x55},
        {0x8013, 0x06, 0x0C, 0x55, 0x0A, 0x55},
        {0x8010, 0x06, 0x0C, 0x55, 0x06, 0x55},
        {0x70FF, 0x00, 0x02, 0x55, 0x01, 0x55}, // 7xkk wraps and leaves VF
    };
    for (const Case& c : cases) {
        const int x = (c.opcode >> 8) & 0xF;
        const int y = (c.opcode >> 4) & 0xF;
        execute(c.opcode, {{y, c.vy}, {x, c.vx}, {15, c.vf}});
        EXPECT_EQ(chip8.V[static_cast<std::size_t>(x)], c.expectedVx) << std::hex << c.opcode;
        EXPECT_EQ(chip8.V[15], c.expectedVf) << std::hex << c.opcode;
    }
}

TEST_F(Chip8InstructionTest, SkipsIncludingKeysPassOverOneInstruction) {
    press(5);
    struct Case {
        std::uint16_t opcode;
        int v0, v1;
        bool skips;
        const char* log;
    };
    const Case cases[] = {
        {0x3042, 0x42, 0, true, ""},
        {0x3042, 0x41, 0, false, ""},
        {0x4042, 0x41, 0, true, ""},
        {0x4042, 0x42, 0, false, ""},
        {0x5010, 7, 7, true, ""},
        {0x5010, 7, 8, false, ""},
        {0x9010, 7, 8, true, ""},
        {0x9010, 7, 7, false, ""},
        {0xE09E, 5, 0, true, ""},
        {0xE09E, 6, 0, false, ""},
        {0xE0A1, 5, 0, false, ""},
        {0xE0A1, 6, 0, true, ""},
        {0xE09E, 16, 0, false, "SKPv: Key greater than 0xf\n"},
        {0xE0A1, 16, 0, false, "SKNPv: Key greater than 0xf\n"},
    };
    for (const Case& c : cases) {
        execute(c.opcode, {{0, c.v0}, {1, c.v1}});
        EXPECT_EQ(chip8.pc, c.skips ? 0x204 : 0x202) << std::hex << c.opcode << " " << c.v0;
        EXPECT_EQ(console(), c.log);
    }
}

TEST_F(Chip8InstructionTest, UnknownOpcodesAndModeSwitchesOnlyLog) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "Unknown Instruction! [0x0]\n"},    {0x0123, "Unknown Instruction! [0x123]\n"},
        {0x5121, "Unknown Instruction! [0x5121]\n"}, {0x8128, "Unknown Instruction! [0x8128]\n"},
        {0x9121, "Unknown Instruction! [0x9121]\n"}, {0xE0FF, "Unknown Instruction! [0xe0ff]\n"},
        {0xF0FF, "Unknown Instruction! [0xf0ff]\n"}, {0x00C0, "No scrolling? Why do this?\n"},
        {0x00FF, "Mode = Super Chip-8\n"},           {0x00FE, "Mode = Chip-8\n"},
    };
    for (const auto& [opcode, message] : cases) {
        execute(opcode, {{1, 7}, {15, 9}});
        EXPECT_EQ(console(), message);
        EXPECT_EQ(chip8.pc, 0x202);
        EXPECT_EQ(chip8.V[1] + chip8.V[15], 16);
        EXPECT_EQ(chip8.hiRes, opcode == 0x00FF ? 1 : 0);
    }
}

TEST_F(Chip8InstructionTest, CallsAndReturnsWrapTheStackModulo16) {
    Chip8Program nested; // seventeen nested calls, then a return
    for (int i = 0; i < 17; ++i) {
        nested.call(static_cast<std::uint16_t>(0x202 + 2 * i));
    }
    execute(nested.ret(), {}, 1);
    EXPECT_EQ(chip8.sp, 1);
    EXPECT_EQ(chip8.stack[1], 0x202);
    runChip8(17);
    EXPECT_EQ(chip8.stack[1], 0x222) << "the seventeenth call overwrote the first";
    EXPECT_EQ(chip8.stack[2], 0x204);
    EXPECT_EQ(chip8.pc, 0x222);
    EXPECT_EQ(chip8.sp, 0);

    execute(Chip8Program().ret()); // a return without a call takes entry 0
    EXPECT_EQ(chip8.pc, 0);
    EXPECT_EQ(chip8.sp, 15);
}

TEST_F(Chip8InstructionTest, AddressesPastMemoryWrapButPcKeepsSixteenBits) {
    execute(0xBFFF, {{0, 0xFF}});
    EXPECT_EQ(chip8.pc, 0x10FE);
    chip8.memory[0x0FE] = 0x65; // the next fetch reads from 0x0FE
    chip8.memory[0x0FF] = 0x42;
    runChip8(1);
    EXPECT_EQ(chip8.V[5], 0x42);

    chip8.pc = 0xFFF; // an opcode split over the end of memory
    chip8.memory[0xFFF] = 0x6A;
    chip8.memory[0x000] = 0x12;
    runChip8(1);
    EXPECT_EQ(chip8.V[0xA], 0x12);
    EXPECT_EQ(chip8.pc, 0x1001);

    execute(Chip8Program().ldi(0xFFE).store(V3), {{0, 1}, {1, 2}, {2, 3}, {3, 4}}, 2);
    EXPECT_EQ(std::vector<int>(chip8.memory.end() - 2, chip8.memory.end()),
              (std::vector<int>{1, 2}));
    EXPECT_EQ(chip8.memory[0], 3);
    EXPECT_EQ(chip8.memory[1], 4);
    EXPECT_EQ(chip8.I, 0xFFE);
}

TEST_F(Chip8InstructionTest, IndexInstructions) {
    execute(Chip8Program().ldi(0xFFF).addI(V0), {{0, 1}}, 2);
    EXPECT_EQ(chip8.I, 0);
    EXPECT_EQ(chip8.V[15], 1);
    execute(Chip8Program().ldi(0x100).addI(VF), {{15, 1}}, 2);
    EXPECT_EQ(chip8.I, 0x101);
    EXPECT_EQ(chip8.V[15], 0);
    execute(0xF029, {{0, 0x3A}});
    EXPECT_EQ(chip8.I, 50);
    execute(0xF030, {{0, 2}});
    EXPECT_EQ(chip8.I, 100);

    execute(Chip8Program().ldi(0x300).bcd(V0).ld(V0, 0).load(V2), {{0, 157}}, 4);
    EXPECT_EQ(std::vector<int>(chip8.V.begin(), chip8.V.begin() + 3), (std::vector<int>{1, 5, 7}));
    EXPECT_EQ(chip8.I, 0x300);
}

TEST_F(Chip8InstructionTest, RplFlagsHoldUpToEightRegisters) {
    Chip8Program p;
    p.storeFlags(V8).storeFlags(V7).ld(V0, 0).ld(V7, 0).loadFlags(V8).loadFlags(V7);
    execute(p, {{0, 0x10}, {7, 0x17}, {8, 0x18}}, 6);
    EXPECT_EQ(chip8.rplFlags[7], 0x17);
    EXPECT_EQ(chip8.V[0], 0x10);
    EXPECT_EQ(chip8.V[7], 0x17);
    EXPECT_EQ(console(), "LDHPv: x >= 8!\nLDHPv\nLDvHP: x >= 8!\nLDvHP\n");
}

TEST_F(Chip8InstructionTest, RandomValuesAreMaskedByKk) {
    std::set<int> seen;
    execute(Chip8Program().rnd(V0, 0x0F).rnd(V1, 0x00).jp(0x200), {{1, 9}}, 0);
    for (int i = 0; i < 200; ++i) {
        runChip8(3);
        EXPECT_LE(chip8.V[0], 0x0F);
        EXPECT_EQ(chip8.V[1], 0);
        seen.insert(chip8.V[0]);
    }
    EXPECT_GT(seen.size(), 8u);
}

// The exit instruction stays on itself and asks for a Reset once per machine.
TEST_F(Chip8InstructionTest, ExitPostsResetOnceUntilTheMachineIsStopped) {
    execute(Chip8Program().exit(), {}, 3000);
    EXPECT_EQ(chip8.pc, 0x200);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{chip8ResetCommand});
    EXPECT_EQ(console().size(), 3000 * std::string("QUIT Opcode\n").size());
    clearChip8ResetRequest();
    runChip8(10);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{chip8ResetCommand});
}

TEST_F(Chip8InstructionTest, KeyWaitRepeatsWhileTimersRunAndTakesTheLowestKey) {
    useManualClock(clockStart + 1'000'000'000);
    execute(Chip8Program().setDelay(V0).waitKey(V5), {{0, 2}}, 10);
    EXPECT_EQ(chip8.pc, 0x202);
    advanceManualClock(chip8TimerPeriodNanoseconds);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 1);
    press(7);
    press(3);
    runChip8(1);
    EXPECT_EQ(chip8.V[5], 3);
    EXPECT_EQ(chip8.pc, 0x204);
}

// A timer's first iteration only starts its timing; it then steps once a period,
// measured from its last step, at most once per iteration, and rewriting it keeps the
// timing. The sound timer follows the same rule.
TEST_F(Chip8InstructionTest, TimersStepOncePerPeriodFromTheirLastStep) {
    constexpr std::uint64_t period = chip8TimerPeriodNanoseconds;
    useManualClock(clockStart + 1'000'000'000);
    Chip8Program p;
    p.setDelay(V0).setSound(V0).getDelay(V1).jp(0x204).setDelay(V2);
    execute(p, {{0, 3}, {2, 9}}, 4);
    EXPECT_EQ(chip8.delayTimerLastTick, elapsedNanoseconds());
    std::vector<int> readings;
    for (int step = 0; step < 3; ++step) {
        advanceManualClock(period - 1);
        runChip8(2);
        readings.push_back(chip8.V[1]);
        advanceManualClock(1);
        runChip8(2);
        readings.push_back(chip8.V[1]);
        EXPECT_EQ(chip8.soundTimer, chip8.delayTimer);
    }
    EXPECT_EQ(readings, (std::vector<int>{3, 2, 2, 1, 1, 0}));
    EXPECT_EQ(chip8.delayTimerLastTick, 0u);

    chip8.pc = 0x200;
    runChip8(2); // DT = 3, first observation
    advanceManualClock(10 * period);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 2);
    advanceManualClock(period / 2);
    chip8.pc = 0x208;
    runChip8(1); // DT = 9 half a period after the step
    advanceManualClock(period - period / 2);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 8);
}
} // namespace
