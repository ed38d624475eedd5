// The interpreter's instructions, family by family, on programs built in memory.

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "chip8/timers.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"
#include "platform/random.h"
#include "tests/chip8_test_machine.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <set>

namespace {
using namespace chip8reg;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

class Chip8InstructionTest : public Chip8MachineTest {
  protected:
    // Loads one opcode at 512 with the given registers and executes it.
    void executeAlone(std::uint16_t opcode, std::initializer_list<std::pair<int, int>> registers) {
        loadChip8Program(Chip8Program().op(opcode).bytes());
        for (const auto& [index, value] : registers) {
            chip8.V[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
        }
        runChip8(1);
    }
};

struct FlagCase {
    std::uint16_t opcode;
    int x, vx, y, vy, vf;
    int expectedVx, expectedVf;
};

// VF is written before the result, and the subtractions and shifts read their
// operands after that, so with x or y = F the new flag takes part.
TEST_F(Chip8InstructionTest, ArithmeticWritesTheFlagBeforeTheResult) {
    const FlagCase cases[] = {
        {0x8014, 0, 0xFF, 1, 0x01, 0x55, 0x00, 1},     // carry
        {0x8014, 0, 0x10, 1, 0x20, 0x55, 0x30, 0},     // no carry
        {0x8F14, 15, 0x80, 1, 0x90, 0x80, 0x10, 0x10}, // VF keeps the sum, not the carry
        {0x80F4, 0, 0x10, 15, 0x05, 0x05, 0x15, 0},    // operands read before the flag
        {0x8015, 0, 5, 1, 5, 0x55, 0, 1},              // equal: no borrow
        {0x8015, 0, 3, 1, 5, 0x55, 0xFE, 0},
        {0x80F5, 0, 9, 15, 5, 5, 8, 1},            // 9 - new flag 1
        {0x8F15, 15, 9, 1, 5, 9, 0xFC, 0xFC},      // new flag 1 - 5
        {0x8016, 0, 0x05, 1, 0xAA, 0x55, 0x02, 1}, // Vy ignored
        {0x8F06, 15, 0xFF, 1, 0x00, 0xFF, 0, 0},   // always 0 with x = F
        {0x8017, 0, 1, 1, 0, 0x55, 0xFF, 0},
        {0x80F7, 0, 2, 15, 7, 7, 0xFF, 1}, // new flag 1 - 2
        {0x801E, 0, 0x81, 1, 0x00, 0x55, 0x02, 1},
        {0x8F0E, 15, 0x81, 1, 0x00, 0x81, 2, 2},      // 0 or 2 with x = F
        {0x8011, 0, 0x0C, 1, 0x03, 0x55, 0x0F, 0x55}, // logic leaves VF alone
        {0x8012, 0, 0x0C, 1, 0x06, 0x55, 0x04, 0x55},
        {0x8013, 0, 0x0C, 1, 0x06, 0x55, 0x0A, 0x55},
        {0x8010, 0, 0x0C, 1, 0x06, 0x55, 0x06, 0x55},
        {0x70FF, 0, 0x02, 1, 0x00, 0x55, 0x01, 0x55}, // 7xkk wraps without a flag
    };
    for (const FlagCase& c : cases) {
        executeAlone(c.opcode, {{c.y, c.vy}, {c.x, c.vx}, {15, c.vf}});
        EXPECT_EQ(chip8.V[static_cast<std::size_t>(c.x)], c.expectedVx) << std::hex << c.opcode;
        EXPECT_EQ(chip8.V[15], c.expectedVf) << std::hex << c.opcode;
        if (c.y != c.x && c.y != 15) {
            EXPECT_EQ(chip8.V[static_cast<std::size_t>(c.y)], c.vy) << std::hex << c.opcode;
        }
    }
}

TEST_F(Chip8InstructionTest, SkipsPassOverExactlyOneInstruction) {
    struct SkipCase {
        std::uint16_t opcode;
        int v0, v1;
        bool skips;
    };
    const SkipCase cases[] = {
        {0x3042, 0x42, 0, true},  {0x3042, 0x41, 0, false}, {0x4042, 0x41, 0, true},
        {0x4042, 0x42, 0, false}, {0x5010, 7, 7, true},     {0x5010, 7, 8, false},
        {0x9010, 7, 8, true},     {0x9010, 7, 7, false},
    };
    for (const SkipCase& c : cases) {
        executeAlone(c.opcode, {{0, c.v0}, {1, c.v1}});
        EXPECT_EQ(chip8.pc, c.skips ? 0x204 : 0x202) << std::hex << c.opcode;
    }
}

TEST_F(Chip8InstructionTest, CallsAndReturnsWrapTheStackModulo16) {
    Chip8Program p;
    const auto sub = p.label();
    p.call(sub).jp(0x200).bind(sub).ret();
    loadChip8Program(p.bytes());
    runChip8(1);
    EXPECT_EQ(chip8.sp, 1);
    EXPECT_EQ(chip8.stack[1], 0x202);
    EXPECT_EQ(chip8.pc, 0x204);
    runChip8(1);
    EXPECT_EQ(chip8.pc, 0x202);
    EXPECT_EQ(chip8.sp, 0);

    // Seventeen nested calls: the last return address lands on the first one's entry.
    Chip8Program nested;
    for (int i = 0; i < 17; ++i) {
        nested.call(static_cast<std::uint16_t>(0x202 + 2 * i));
    }
    loadChip8Program(nested.bytes());
    runChip8(17);
    EXPECT_EQ(chip8.sp, 1);
    EXPECT_EQ(chip8.stack[1], 0x222);
    EXPECT_EQ(chip8.stack[2], 0x204);

    // A return without a call takes entry 0.
    loadChip8Program(Chip8Program().ret().bytes());
    chip8.stack[0] = 0x345;
    runChip8(1);
    EXPECT_EQ(chip8.pc, 0x345);
    EXPECT_EQ(chip8.sp, 15);
}

TEST_F(Chip8InstructionTest, AddressesPastMemoryWrapButPcKeepsSixteenBits) {
    // Bnnn: pc is the full sum; the next fetch reads from 0x0FE.
    executeAlone(0xBFFF, {{0, 0xFF}});
    EXPECT_EQ(chip8.pc, 0x10FE);
    chip8.memory[0x0FE] = 0x65;
    chip8.memory[0x0FF] = 0x42;
    runChip8(1);
    EXPECT_EQ(chip8.V[5], 0x42);
    EXPECT_EQ(chip8.pc, 0x1100);

    // An opcode split over the end of memory.
    loadChip8Program({});
    chip8.pc = 0xFFF;
    chip8.memory[0xFFF] = 0x6A;
    chip8.memory[0x000] = 0x12;
    runChip8(1);
    EXPECT_EQ(chip8.V[0xA], 0x12);
    EXPECT_EQ(chip8.pc, 0x1001);

    // Stores and loads through I wrap to the start of memory.
    executeAlone(0xF355, {{0, 1}, {1, 2}, {2, 3}, {3, 4}});
    chip8.I = 0xFFE;
    chip8.pc = 0x200;
    runChip8(1);
    EXPECT_EQ(chip8.memory[0xFFE], 1);
    EXPECT_EQ(chip8.memory[0xFFF], 2);
    EXPECT_EQ(chip8.memory[0x000], 3);
    EXPECT_EQ(chip8.memory[0x001], 4);
    EXPECT_EQ(chip8.I, 0xFFE);
}

TEST_F(Chip8InstructionTest, IndexInstructions) {
    executeAlone(0xF01E, {{0, 1}});
    chip8.I = 0xFFF;
    chip8.pc = 0x200;
    runChip8(1);
    EXPECT_EQ(chip8.I, 0);
    EXPECT_EQ(chip8.V[15], 1);
    chip8.I = 0x100;
    chip8.pc = 0x200;
    runChip8(1);
    EXPECT_EQ(chip8.I, 0x101);
    EXPECT_EQ(chip8.V[15], 0);

    executeAlone(0xA123, {});
    EXPECT_EQ(chip8.I, 0x123);
    executeAlone(0xF029, {{0, 0x3A}});
    EXPECT_EQ(chip8.I, 50);
    executeAlone(0xF030, {{0, 2}});
    EXPECT_EQ(chip8.I, 100);

    Chip8Program bcd;
    bcd.ldi(0x300).ld(V0, 157).bcd(V0).ld(V0, 0).load(V2);
    loadChip8Program(bcd.bytes());
    runChip8(5);
    EXPECT_EQ(chip8.V[0], 1);
    EXPECT_EQ(chip8.V[1], 5);
    EXPECT_EQ(chip8.V[2], 7);
    EXPECT_EQ(chip8.I, 0x300);
}

TEST_F(Chip8InstructionTest, RplFlagsHoldUpToEightRegisters) {
    Chip8Program p;
    for (std::uint8_t i = 0; i < 9; ++i) {
        p.ld(Chip8Register{i}, static_cast<std::uint8_t>(0x10 + i));
    }
    p.storeFlags(V8).storeFlags(V7).ld(V0, 0).ld(V7, 0).loadFlags(V8).loadFlags(V7);
    loadChip8Program(p.bytes());
    runChip8(11);
    EXPECT_EQ(console(), "LDHPv: x >= 8!\nLDHPv\n");
    EXPECT_EQ(chip8.rplFlags[7], 0x17);
    runChip8(3);
    EXPECT_EQ(chip8.V[0], 0);
    runChip8(1);
    EXPECT_EQ(chip8.V[0], 0x10);
    EXPECT_EQ(chip8.V[7], 0x17);
    EXPECT_EQ(chip8.V[8], 0x18);
    EXPECT_EQ(console(), "LDvHP: x >= 8!\nLDvHP\n");
}

TEST_F(Chip8InstructionTest, UnknownOpcodesAreReportedAndSkipped) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "Unknown Instruction! [0x0]\n"},    {0x0123, "Unknown Instruction! [0x123]\n"},
        {0x5121, "Unknown Instruction! [0x5121]\n"}, {0x8128, "Unknown Instruction! [0x8128]\n"},
        {0x812F, "Unknown Instruction! [0x812f]\n"}, {0x9121, "Unknown Instruction! [0x9121]\n"},
        {0xE0FF, "Unknown Instruction! [0xe0ff]\n"}, {0xF0FF, "Unknown Instruction! [0xf0ff]\n"},
    };
    for (const auto& [opcode, message] : cases) {
        executeAlone(opcode, {{1, 7}, {2, 9}});
        EXPECT_EQ(console(), message);
        EXPECT_EQ(chip8.pc, 0x202);
        EXPECT_EQ(chip8.V[1], 7);
        EXPECT_EQ(chip8.V[2], 9);
    }
}

TEST_F(Chip8InstructionTest, ModeSwitchesAndRefusedScrollOnlyLog) {
    loadChip8Program(Chip8Program().high().scd(0).low().bytes());
    chip8.screen[5] = 1;
    runChip8(1);
    EXPECT_EQ(chip8.hiRes, 1);
    runChip8(2);
    EXPECT_EQ(chip8.hiRes, 0);
    EXPECT_EQ(chip8.screen[5], 1);
    EXPECT_EQ(console(), "Mode = Super Chip-8\nNo scrolling? Why do this?\nMode = Chip-8\n");
}

TEST_F(Chip8InstructionTest, RandomValuesAreMaskedByKk) {
    Chip8Program p;
    p.rnd(V0, 0x0F).rnd(V1, 0x00).jp(0x200);
    loadChip8Program(p.bytes());
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        runChip8(3);
        EXPECT_LE(chip8.V[0], 0x0F);
        EXPECT_EQ(chip8.V[1], 0);
        seen.insert(chip8.V[0]);
    }
    EXPECT_TRUE(randomSeeded);
    EXPECT_GT(seen.size(), 8u);
}

// The exit instruction stays on itself and asks for a Reset once per machine.
TEST_F(Chip8InstructionTest, ExitPostsResetOnceUntilTheMachineIsStopped) {
    loadChip8Program(Chip8Program().exit().bytes());
    runChip8(3000);
    EXPECT_EQ(chip8.pc, 0x200);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{chip8ResetCommand});
    EXPECT_EQ(count(console(), "QUIT Opcode\n"), 3000u);
    EXPECT_TRUE(chip8ResetPending());

    clearChip8ResetRequest();
    runChip8(10);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{chip8ResetCommand});
}

TEST_F(Chip8InstructionTest, BatchesRunAThousandIterations) {
    loadChip8Program(Chip8Program().add(V0, 1).jp(0x200).bytes());
    const std::uint64_t before = chip8InstructionsExecuted();
    runChip8Batch();
    EXPECT_EQ(chip8.V[0], 500 % 256);
    EXPECT_EQ(chip8InstructionsExecuted() - before, 1000u);
}

class Chip8TimerTest : public Chip8MachineTest {
  protected:
    void SetUp() override {
        Chip8MachineTest::SetUp();
        useManualClock(clockStart + 1'000'000'000);
    }
    static constexpr std::uint64_t period = chip8TimerPeriodNanoseconds;
};

TEST_F(Chip8TimerTest, DelayTimerStepsOncePerPeriodFromItsFirstObservation) {
    Chip8Program p;
    const auto loop = p.label();
    p.ld(V0, 3).setDelay(V0).setSound(V0).bind(loop).getDelay(V1).jp(loop);
    loadChip8Program(p.bytes());
    runChip8(4); // the getDelay iteration is the first to see the timers running
    EXPECT_EQ(chip8.V[1], 3);
    const std::uint64_t firstSeen = elapsedNanoseconds();
    EXPECT_EQ(chip8.delayTimerLastTick, firstSeen);

    std::vector<int> readings;
    for (int step = 0; step < 3; ++step) {
        advanceManualClock(period - 1);
        runChip8(2);
        EXPECT_EQ(chip8.V[1], 3 - step) << "one nanosecond short of a period";
        advanceManualClock(1);
        runChip8(2);
        readings.push_back(chip8.V[1]);
        EXPECT_EQ(chip8.soundTimer, chip8.delayTimer);
    }
    EXPECT_EQ(readings, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(chip8.delayTimerLastTick, 0u);
    EXPECT_EQ(chip8.soundTimerLastTick, 0u);
}

TEST_F(Chip8TimerTest, TimerStepsAtMostOncePerIterationAndRewritesKeepTheLastTick) {
    Chip8Program p;
    p.ld(V0, 200).setDelay(V0).jp(0x204).ld(V0, 50).setDelay(V0).jp(0x20A);
    loadChip8Program(p.bytes());
    runChip8(3); // set, then the first observation
    const std::uint64_t start = chip8.delayTimerLastTick;
    advanceManualClock(10 * period);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 199);
    const std::uint64_t stepped = chip8.delayTimerLastTick;
    EXPECT_EQ(stepped, start + 10 * period);

    // Written again half a period later: the next step is one period after the last.
    advanceManualClock(period / 2);
    chip8.pc = 0x206;
    runChip8(2);
    EXPECT_EQ(chip8.delayTimer, 50);
    EXPECT_EQ(chip8.delayTimerLastTick, stepped);
    advanceManualClock(period / 2 + 1);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 49);
}

class Chip8KeyTest : public Chip8InstructionTest {
  protected:
    static void press(int key) {
        setKeyDown(Chip8Machine::keyMap[static_cast<std::size_t>(key)], true);
    }
};

TEST_F(Chip8KeyTest, KeySkipsSampleTheKeyMap) {
    press(5);
    EXPECT_TRUE(isKeyDown(0x57)); // W
    executeAlone(0xE09E, {{0, 5}});
    EXPECT_EQ(chip8.pc, 0x204);
    executeAlone(0xE0A1, {{0, 5}});
    EXPECT_EQ(chip8.pc, 0x202);
    executeAlone(0xE09E, {{0, 6}});
    EXPECT_EQ(chip8.pc, 0x202);
    executeAlone(0xE0A1, {{0, 6}});
    EXPECT_EQ(chip8.pc, 0x204);
    EXPECT_EQ(console(), "");

    executeAlone(0xE09E, {{0, 16}});
    EXPECT_EQ(chip8.pc, 0x202);
    executeAlone(0xE0A1, {{0, 16}});
    EXPECT_EQ(chip8.pc, 0x202);
    EXPECT_EQ(console(), "SKPv: Key greater than 0xf\nSKNPv: Key greater than 0xf\n");
}

TEST_F(Chip8KeyTest, KeyWaitRepeatsUntilAKeyIsDownAndTakesTheLowest) {
    useManualClock(clockStart + 1'000'000'000);
    Chip8Program p;
    p.ld(V0, 2).setDelay(V0).waitKey(V5);
    loadChip8Program(p.bytes());
    runChip8(10);
    EXPECT_EQ(chip8.pc, 0x204);
    advanceManualClock(chip8TimerPeriodNanoseconds);
    runChip8(1);
    EXPECT_EQ(chip8.delayTimer, 1) << "timers run while waiting";

    press(7);
    press(3);
    runChip8(1);
    EXPECT_EQ(chip8.V[5], 3);
    EXPECT_EQ(chip8.pc, 0x206);
}
} // namespace
