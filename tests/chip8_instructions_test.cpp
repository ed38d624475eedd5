// The interpreter's instructions, family by family, on programs built in memory.

#include "tests/chip8_test_machine.h"

#include <set>

namespace {
using namespace chip8reg;
using Chip8InstructionTest = Chip8ProgramTest;

// The register arithmetic with the machine's rules. The cases with VF as an operand, and
// the logic instructions, are in the rules' test, each under both positions of its
// switch. 8xy6 ignores Vy; 7xkk wraps and leaves VF. Registers are set in the order y,
// x, VF.
TEST_F(Chip8InstructionTest, ArithmeticSetsTheFlag) {
    const struct {
        std::uint16_t opcode;
        int vy, vx, vf, expectedVx, expectedVf;
    } cases[] = {{0x8014, 0x01, 0xFF, 0x55, 0x00, 0x01}, {0x80F4, 0x05, 0x10, 0x05, 0x15, 0x00},
                 {0x8015, 0x05, 0x05, 0x55, 0x00, 0x01}, {0x8015, 0x05, 0x03, 0x55, 0xFE, 0x00},
                 {0x8016, 0xAA, 0x05, 0x55, 0x02, 0x01}, {0x8017, 0x00, 0x01, 0x55, 0xFF, 0x00},
                 {0x801E, 0x00, 0x81, 0x55, 0x02, 0x01}, {0x8010, 0x06, 0x0C, 0x55, 0x06, 0x55},
                 {0x70FF, 0x00, 0x02, 0x55, 0x01, 0x55}};
    for (const auto& c : cases) {
        const int x = (c.opcode >> 8) & 0xF;
        execute(op(c.opcode), {{(c.opcode >> 4) & 0xF, c.vy}, {x, c.vx}, {15, c.vf}});
        EXPECT_EQ(ints(m.V[static_cast<std::size_t>(x)], m.V[15]), ints(c.expectedVx, c.expectedVf))
            << std::hex << c.opcode;
    }
}

// Each opcode runs with V0, V1 that skip and with values that do not; key 5 is down, and
// keys past F neither skip nor count as up. Under XO-CHIP rules a skip over the long load
// F000 nnnn moves pc 6 bytes, over anything else 4; under other rules always 4.
TEST_F(Chip8InstructionTest, SkipsIncludingKeysPassOverOneInstruction) {
    press(5);
    const struct {
        std::uint16_t opcode;
        int skipV0, skipV1, stayV0, stayV1;
    } cases[] = {{0x3042, 0x42, 0, 0x41, 0}, {0x4042, 0x41, 0, 0x42, 0}, {0x5010, 7, 7, 7, 8},
                 {0x9010, 7, 8, 7, 7},       {0xE09E, 5, 0, 6, 0},       {0xE0A1, 6, 0, 5, 0},
                 {0xE09E, 5, 0, 16, 0},      {0xE0A1, 6, 0, 16, 0}};
    for (const auto& c : cases) {
        for (const bool xoChip : {false, true}) {
            m.rules = chip8RulesFor(xoChip ? Chip8Variant::XoChip : Chip8Variant::Quorvix);
            const Chip8Program overLong = op(c.opcode).op(0xF000).op(0x1234);
            execute(overLong, {{0, c.skipV0}, {1, c.skipV1}});
            const int skippedLong = m.pc;
            execute(op(c.opcode), {{0, c.skipV0}, {1, c.skipV1}});
            const int skippedShort = m.pc;
            execute(overLong, {{0, c.stayV0}, {1, c.stayV1}});
            EXPECT_EQ(ints(skippedLong, skippedShort, m.pc),
                      ints(xoChip ? 0x206 : 0x204, 0x204, 0x202))
                << std::hex << c.opcode << (xoChip ? " XO-CHIP" : "");
        }
    }
    EXPECT_EQ(console(), "SKPv: Key greater than 0xf\nSKPv: Key greater than 0xf\n"
                         "SKNPv: Key greater than 0xf\nSKNPv: Key greater than 0xf\n");
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
        execute(op(opcode), {{1, 7}, {15, 9}});
        EXPECT_EQ(console(), message);
        EXPECT_EQ(ints(m.pc, m.V[1], m.V[15], m.hiRes), ints(0x202, 7, 9, opcode == 0x00FF));
    }
}

TEST_F(Chip8InstructionTest, CallsAndReturnsWrapTheStackModulo16) {
    Chip8Program nested; // seventeen nested calls, then a return
    for (int i = 0; i < 17; ++i) {
        nested.call(static_cast<std::uint16_t>(0x202 + 2 * i));
    }
    execute(nested.ret());
    EXPECT_EQ(ints(m.sp, m.stack[1]), ints(1, 0x202));
    run(17); // the seventeenth call overwrote the first
    EXPECT_EQ(ints(m.stack[1], m.stack[2], m.pc, m.sp), ints(0x222, 0x204, 0x222, 0));
    execute(Chip8Program().ret()); // a return without a call takes entry 0
    EXPECT_EQ(ints(m.pc, m.sp), ints(0, 15));
}

// 6xkk, Annn, 1nnn; Dxyn draws n rows from I at column Vx, row Vy and reports a
// collision in VF; 00E0 clears; Fx55 and Fx65 move V0-Vx and nothing past them.
TEST_F(Chip8InstructionTest, LoadsJumpsDrawClearAndRegisterBlocks) {
    execute(op(0x6A42).op(0xA123).op(0x1345), {}, 3);
    EXPECT_EQ(ints(m.V[0xA], m.I, m.pc), ints(0x42, 0x123, 0x345));
    // High resolution, glyph 0 (F0 90 90 90 F0) twice at column 3, row 4.
    execute(Chip8Program().high().ldi(0).op(0xD122).op(0xD122).op(0xD125).op(0x00E0),
            {{1, 3}, {2, 4}}, 3);
    const std::string rows = chip8ScreenRows(m);
    EXPECT_EQ(cut(rows, {2, 3, 6, 4}), "......\n.####.\n.#..#.\n......\n");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '#'), 6);
    EXPECT_EQ(m.V[15], 0);
    run(1);
    EXPECT_EQ(ints(m.V[15], std::count(m.screen.begin(), m.screen.end(), 1)), ints(1, 0));
    run(2);
    EXPECT_EQ(ints(m.V[15], std::count(m.screen.begin(), m.screen.end(), 1)), ints(0, 0));

    execute(Chip8Program().ldi(0x300).store(V2).ldi(0x301).load(V1),
            {{0, 1}, {1, 2}, {2, 3}, {3, 4}}, 4);
    EXPECT_EQ(ints(m.memory[0x300], m.memory[0x301], m.memory[0x302], m.memory[0x303]),
              ints(1, 2, 3, 0));
    EXPECT_EQ(ints(m.V[0], m.V[1], m.V[2], m.V[3]), ints(2, 3, 3, 4));
}

TEST_F(Chip8InstructionTest, AddressesPastMemoryWrapButPcKeepsSixteenBits) {
    execute(op(0xBFFF), {{0, 0xFF}});
    EXPECT_EQ(m.pc, 0x10FE);
    poke(0x0FE, {0x65, 0x42}); // the next fetch reads from 0x0FE
    run(1);
    EXPECT_EQ(m.V[5], 0x42);
    m.pc = 0xFFF; // an opcode split over the end of memory
    poke(0xFFF, {0x6A, 0x12});
    run(1);
    EXPECT_EQ(ints(m.V[0xA], m.pc), ints(0x12, 0x1001));

    execute(Chip8Program().ldi(0xFFE).store(V3), {{0, 1}, {1, 2}, {2, 3}, {3, 4}}, 2);
    const auto& memory = m.memory;
    EXPECT_EQ(ints(memory[0xFFE], memory[0xFFF], memory[0], memory[1], m.I),
              ints(1, 2, 3, 4, 0xFFE));
}

// Fx1E sets VF when I passes the end of memory; the glyph addresses; BCD read back.
TEST_F(Chip8InstructionTest, IndexInstructions) {
    execute(Chip8Program().ldi(0xFFF).addI(V0), {{0, 1}}, 2);
    EXPECT_EQ(ints(m.I, m.V[15]), ints(0, 1));
    execute(Chip8Program().ldi(0x100).addI(VF), {{15, 1}}, 2);
    EXPECT_EQ(ints(m.I, m.V[15]), ints(0x101, 0));
    execute(Chip8Program().smallGlyph(V0), {{0, 0x3A}});
    EXPECT_EQ(m.I, 50);
    execute(Chip8Program().bigGlyph(V0), {{0, 2}});
    EXPECT_EQ(m.I, 100);
    execute(Chip8Program().ldi(0x300).bcd(V0).ld(V0, 0).load(V2), {{0, 157}}, 4);
    EXPECT_EQ(ints(m.V[0], m.V[1], m.V[2], m.I), ints(1, 5, 7, 0x300));
}

TEST_F(Chip8InstructionTest, RplFlagsHoldUpToEightRegisters) {
    Chip8Program p;
    p.storeFlags(V8).storeFlags(V7).ld(V0, 0).ld(V7, 0).loadFlags(V8).loadFlags(V7);
    execute(p, {{0, 0x10}, {7, 0x17}, {8, 0x18}}, 6);
    EXPECT_EQ(ints(m.rplFlags[7], m.V[0], m.V[7]), ints(0x17, 0x10, 0x17));
    EXPECT_EQ(console(), "LDHPv: x >= 8!\nLDHPv\nLDvHP: x >= 8!\nLDvHP\n");
}

TEST_F(Chip8InstructionTest, RandomValuesAreMaskedByKk) {
    std::set<int> seen; // V0 masked by 0x0F, V1 by 0
    execute(Chip8Program().rnd(V0, 0x0F).rnd(V1, 0x00).jp(0x200), {{1, 9}}, 0);
    for (int i = 0; i < 200; ++i) {
        run(3);
        seen.insert(m.V[0] | m.V[1] << 8);
    }
    EXPECT_LE(*seen.rbegin(), 0x0F);
    EXPECT_GT(seen.size(), 8u);
}

// The exit instruction stays on itself and asks for a Reset once until the request is
// cleared, which a machine stop does.
TEST_F(Chip8InstructionTest, ExitPostsResetOnceUntilTheMachineIsStopped) {
    execute(Chip8Program().exit(), {}, 3000);
    EXPECT_EQ(m.pc, 0x200);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{32772});
    EXPECT_EQ(console().size(), 3000 * std::string("QUIT Opcode\n").size());
    clearChip8ResetRequest(m);
    run(10);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{32772});
}

// A timer's first iteration only starts its timing; it then steps once a period,
// measured from its last step, at most once per iteration, and rewriting it keeps the
// timing. The sound timer follows the same rule. Timers keep running while a key wait
// repeats itself; the wait takes the lowest key down.
TEST_F(Chip8InstructionTest, TimersStepOncePerPeriodAlsoDuringAKeyWait) {
    constexpr std::uint64_t period = 16'666'667; // 60 Hz, rounded up
    useManualClock(clockStart + 1'000'000'000);
    Chip8Program p; // 0x204 waits for a key, 0x208 sets DT = V2
    p.setDelay(V0).setSound(V0).waitKey(V5).getDelay(V1).setDelay(V2).jp(0x204);
    execute(p, {{0, 3}, {2, 9}}, 3);
    EXPECT_EQ(m.delayTimerLastTick, elapsedNanoseconds());
    std::vector<int> readings;
    for (int step = 0; step < 3; ++step) {
        for (const std::uint64_t advance : {period - 1, std::uint64_t{1}}) {
            advanceManualClock(advance);
            run(2);
            readings.push_back(m.delayTimer);
        }
        EXPECT_EQ(m.soundTimer, m.delayTimer);
    }
    EXPECT_EQ(readings, (std::vector<int>{3, 2, 2, 1, 1, 0}));
    EXPECT_EQ(m.delayTimerLastTick, 0u);
    EXPECT_EQ(m.pc, 0x204);

    m.pc = 0x200;
    run(2); // DT = 3, first observation
    advanceManualClock(10 * period);
    run(1);
    EXPECT_EQ(m.delayTimer, 2);
    advanceManualClock(period / 2);
    m.pc = 0x208;
    run(1); // DT = 9 half a period after the step
    advanceManualClock(period - period / 2);
    press(7);
    press(3);
    run(3); // jump back, take the key, read DT
    EXPECT_EQ(ints(m.V[5], m.V[1], m.pc), ints(3, 8, 0x208));

    m.V[2] = 0; // from here on DT is 0 and the sound timer runs alone
    m.soundTimer = 2;
    run(1); // its first look
    advanceManualClock(period);
    run(1);
    EXPECT_EQ(ints(m.delayTimer, m.soundTimer), ints(0, 1));
}

// Between two looks at the clock the interpreter runs only instructions that take a few
// nanoseconds, so a timer may step late by well under a microsecond: a step that falls
// due while 64 register additions run is seen by the instruction after them. An
// instruction that calls out of the interpreter (here the sound timer's news, which
// moves this test's clock on) may take any time, so the next one looks at the clock
// again.
TEST_F(Chip8InstructionTest, TimersSeeTheClockAfterACallOutAndWithinARunOfQuickInstructions) {
    constexpr std::uint64_t period = 16'666'667;
    useManualClock(clockStart + 1'000'000'000);
    m.soundHook = [](const SoundEvent& event) {
        if (event.kind == SoundEventKind::TimerStarted ||
            event.kind == SoundEventKind::TimerStopped) {
            advanceManualClock(period);
        }
    };
    Chip8Program p; // DT = 5, ST = 1 (a period passes), read DT
    p.setDelay(V0).setSound(V1).getDelay(V2);
    execute(p, {{0, 5}, {1, 1}}, 3);
    EXPECT_EQ(ints(m.V[2], m.soundTimer), ints(4, 1));

    Chip8Program quick; // DT = 5, ST = 1, then after a period: 64 additions and a read
    quick.setDelay(V0).setSound(V1);
    for (int i = 0; i < 64; ++i) {
        quick.add(V3, 1);
    }
    quick.getDelay(V2);
    m.soundHook = nullptr;
    execute(quick, {{0, 5}, {1, 1}}, 3); // the third starts the sound timer's timing
    m.soundHook = [](const SoundEvent& event) {
        if (event.kind == SoundEventKind::TimerStopped) {
            advanceManualClock(period); // while the additions run
        }
    };
    advanceManualClock(period);
    run(64); // DT and ST step; ST's news moves the clock a period on
    EXPECT_EQ(ints(m.V[3], m.V[2], m.soundTimer), ints(64, 3, 0));
    m.soundHook = nullptr;
}
} // namespace
