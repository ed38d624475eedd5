// Breakpoints, optional stops, edits while paused and traces, on machines running on
// their workers; and the quorvix-run options built on them.

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tests/support/captured_console.h"
#include "tests/support/temp_file.h"
#include "tests/support/tool_output.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {
using namespace chip8reg;

bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class DebugStopsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        initClock();
        headless::setMainSurface(&sink);
    }
    void TearDown() override {
        headless::setMainSurface(nullptr);
        headless::takePostedCommands();
    }
    // Starts the machine with a hook that counts its stops, and waits for the first.
    void startUntilStopped(Machine& machine) {
        machine.setStopHook([this](StopReason reason) {
            lastHookReason = reason;
            hookCalls.fetch_add(1);
        });
        const int before = hookCalls.load();
        machine.start();
        // The worker marks itself paused before it calls the hook: waiting for the hook
        // too keeps a late call from counting as the next stop.
        ASSERT_TRUE(waitUntil([this, before] { return hookCalls.load() > before; }));
        ASSERT_TRUE(machine.paused());
    }
    // Continue, then wait until the machine has stopped itself again.
    void continueUntilStopped(Machine& machine) {
        const int before = hookCalls.load();
        machine.resume();
        ASSERT_TRUE(waitUntil([this, before] { return hookCalls.load() > before; }));
        ASSERT_TRUE(machine.paused());
    }

    CapturedConsole console;
    headless::FrameSink sink;
    std::atomic<int> hookCalls{0};
    std::atomic<StopReason> lastHookReason{StopReason::none};
};

// 200 V0 = 1; 202 V1 = 2; 204 V0 += V1; 206 JP 206.
std::vector<std::uint8_t> chip8Sum() {
    return Chip8Program().ld(V0, 1).ld(V1, 2).add(V0, V1).jp(0x206).bytes();
}

TEST_F(DebugStopsTest, Chip8BreakpointStopsBeforeItsInstructionAndAgainRightAfterContinue) {
    for (const Chip8Variant variant : {Chip8Variant::Quorvix, Chip8Variant::Chip8}) {
        Chip8Runtime runtime(chip8RulesFor(variant));
        runtime.load(chip8Sum());
        runtime.setBreakpoint(0x204, true);
        runtime.setBreakpoint(0x206, true);
        startUntilStopped(runtime);
        const Chip8Machine& m = runtime.machine();
        EXPECT_EQ(m.pc, 0x204);
        EXPECT_EQ(m.V[0], 1) << "stopped before the addition";
        EXPECT_EQ(runtime.instructionsExecuted(), 2u);
        EXPECT_EQ(runtime.lastStop(), StopReason::breakpoint);
        EXPECT_EQ(lastHookReason.load(), StopReason::breakpoint);

        // Continue runs the addition and stops before the very next instruction.
        continueUntilStopped(runtime);
        EXPECT_EQ(m.pc, 0x206);
        EXPECT_EQ(m.V[0], 3);
        EXPECT_EQ(runtime.instructionsExecuted(), 3u);
        // A jump to itself: each Continue runs it once, and it stops before it again.
        continueUntilStopped(runtime);
        EXPECT_EQ(runtime.instructionsExecuted(), 4u);
        continueUntilStopped(runtime);
        EXPECT_EQ(runtime.instructionsExecuted(), 5u);
        EXPECT_EQ(hookCalls.load(), 4);

        // Without breakpoints nothing is checked any more, and it runs on.
        runtime.setBreakpoint(0x204, false);
        runtime.setBreakpoint(0x206, false);
        EXPECT_EQ(runtime.machine().watch, nullptr);
        EXPECT_TRUE(runtime.breakpoints().empty());
        runtime.resume();
        EXPECT_TRUE(waitUntil([&runtime] { return runtime.instructionsExecuted() > 100; }));
        EXPECT_FALSE(runtime.paused());
        EXPECT_EQ(runtime.lastStop(), StopReason::none);
        runtime.stop();
        hookCalls = 0;
    }
}

TEST_F(DebugStopsTest, ABreakpointOnTheFirstInstructionStopsBeforeItAndStepsRunTheirInstruction) {
    Chip8Runtime runtime(quorvixRules);
    runtime.load(chip8Sum());
    runtime.setBreakpoint(0x200, true);
    runtime.setBreakpoint(0x202, true);
    EXPECT_EQ(runtime.breakpoints(), (std::vector<std::uint32_t>{0x200, 0x202}));
    startUntilStopped(runtime);
    EXPECT_EQ(runtime.instructionsExecuted(), 0u);
    // A step runs the instruction under a breakpoint, and the one under the next.
    runtime.stepInstruction();
    runtime.stepInstruction();
    EXPECT_EQ(runtime.machine().pc, 0x204);
    EXPECT_EQ(runtime.machine().V[1], 2);
    // Step Frame runs on until the next breakpoint.
    runtime.setBreakpoint(0x206, true);
    runtime.stepFrame();
    EXPECT_EQ(runtime.machine().pc, 0x206);
    EXPECT_EQ(runtime.instructionsExecuted(), 3u);
    EXPECT_EQ(runtime.lastStop(), StopReason::breakpoint);
    // A reload keeps the breakpoints and stops before the first instruction again.
    runtime.stop();
    runtime.load(chip8Sum());
    startUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().pc, 0x200);
    runtime.stop();
}

// Under paced rules a breakpoint stops inside a tick, and the tick goes on where it
// stopped; one that stops before a tick's first instruction has not begun that tick
// (its timers have not stepped).
TEST_F(DebugStopsTest, PacedBreakpointsStopInsideAndBeforeTicks) {
    Chip8Rules paced = chip8RulesFor(Chip8Variant::Chip8);
    paced.instructionsPerTick = 3;
    Chip8Runtime runtime(paced);
    // 200 V2 = 0xFF; 202 DT = V2; 204 V0 += 1; 206 JP 204. Tick 1 runs 200-204, tick 2
    // begins at 206.
    runtime.load(Chip8Program().ld(V2, 0xFF).setDelay(V2).add(V0, 1).jp(0x204).bytes());
    runtime.setBreakpoint(0x206, true);
    startUntilStopped(runtime);
    const Chip8Machine& m = runtime.machine();
    EXPECT_EQ(m.pc, 0x206);
    EXPECT_EQ(m.ticksCompleted, 1u);
    EXPECT_EQ(m.tickInstructionsDone, 0u);
    EXPECT_EQ(m.delayTimer, 0xFF);
    // Continue: 206 begins tick 2, 204, and it stops before 206 inside the tick.
    continueUntilStopped(runtime);
    EXPECT_EQ(m.ticksCompleted, 2u);
    EXPECT_EQ(m.tickInstructionsDone, 2u);
    EXPECT_EQ(m.delayTimer, 0xFE);
    EXPECT_EQ(runtime.instructionsExecuted(), 5u);
    runtime.setBreakpoint(0x206, false);
    runtime.stepInstruction(); // the tick's last instruction
    EXPECT_EQ(m.tickInstructionsDone, 0u);
    EXPECT_EQ(m.ticksCompleted, 2u);
    runtime.stepFrame(); // a whole tick: the timer steps once
    EXPECT_EQ(m.ticksCompleted, 3u);
    EXPECT_EQ(m.delayTimer, 0xFD);
    EXPECT_EQ(runtime.instructionsExecuted(), 9u);
    runtime.stop();
}

// A pause that comes while a paced machine waits for its next tick: that tick has not
// begun, so after any number of pauses the ticks begun and the instructions run agree.
TEST_F(DebugStopsTest, PausesDoNotBeginTicksWithoutInstructions) {
    Chip8Rules paced = chip8RulesFor(Chip8Variant::Chip8);
    paced.instructionsPerTick = 10;
    Chip8Runtime runtime(paced);
    runtime.load(Chip8Program().add(V0, 1).jp(0x200).bytes());
    runtime.start();
    for (int round = 0; round < 12; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + round % 4 * 4));
        runtime.pause();
        const Chip8Machine& m = runtime.machine();
        const std::uint64_t begun = m.ticksCompleted;
        const std::uint64_t whole = m.tickInstructionsDone == 0 ? begun : begun - 1;
        EXPECT_EQ(runtime.instructionsExecuted(), whole * 10 + m.tickInstructionsDone)
            << "round " << round;
        runtime.resume();
    }
    runtime.stop();
}

// A machine that stopped itself keeps its timers still, as a paused one does, and they
// run on at their pace after Continue.
TEST_F(DebugStopsTest, TimersStandStillAtABreakpoint) {
    Chip8Runtime runtime(quorvixRules);
    // 200 V2 = 0xFF; 202 DT = V2; 204 V0 += 1; 206 JP 204.
    runtime.load(Chip8Program().ld(V2, 0xFF).setDelay(V2).add(V0, 1).jp(0x204).bytes());
    runtime.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    runtime.setBreakpoint(0x206, true);
    ASSERT_TRUE(waitUntil([&runtime] { return runtime.paused(); }));
    const std::uint8_t delay = runtime.machine().delayTimer;
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // nine timer periods
    EXPECT_EQ(runtime.machine().delayTimer, delay);
    runtime.setBreakpoint(0x206, false);
    // Runs in short spans until the timer has fallen by 3 (a busy machine may give the
    // worker little time), counting only the time it ran.
    std::chrono::steady_clock::duration ran{};
    int fell = 0;
    for (int span = 0; span < 500 && fell < 3; ++span) {
        const auto resumed = std::chrono::steady_clock::now();
        runtime.resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        runtime.pause();
        ran += std::chrono::steady_clock::now() - resumed;
        fell = delay - runtime.machine().delayTimer;
    }
    EXPECT_GE(fell, 3) << "the timer runs again after Continue";
    EXPECT_LE(fell, ran * 60 / std::chrono::seconds(1) + 2) << "the time stopped did not count";
    runtime.stop();
}

TEST_F(DebugStopsTest, OptionalStopsBeforeUnknownOpcodesAndTheExitInstruction) {
    Chip8Runtime chip8(quorvixRules);
    // 200 V0 = 1; 202 0123 (unknown); 204 V0 = 2; 206 EXIT.
    chip8.load(Chip8Program().ld(V0, 1).op(0x0123).ld(V0, 2).exit().bytes());
    chip8.setStopChoices({true, true});
    startUntilStopped(chip8);
    EXPECT_EQ(chip8.machine().pc, 0x202);
    EXPECT_EQ(chip8.lastStop(), StopReason::unknownOpcode);
    EXPECT_EQ(CapturedConsole::take().find("Unknown"), std::string::npos) << "not run yet";
    continueUntilStopped(chip8);
    EXPECT_EQ(chip8.machine().pc, 0x206);
    EXPECT_EQ(chip8.machine().V[0], 2);
    EXPECT_EQ(chip8.lastStop(), StopReason::exitInstruction);
    EXPECT_TRUE(headless::takePostedCommands().empty()) << "no Reset asked for yet";
    chip8.stop();
    // Without the choices the same program runs through.
    chip8.setStopChoices({});
    EXPECT_EQ(chip8.machine().watch, nullptr);

    Chip16Runtime chip16(false);
    // LDI R0, 5; the later NOT R0 (unknown without the later set); JMP 8.
    chip16.load(Chip16Program().ldi(0, 5).raw(0xE1).jmp(8).image());
    chip16.setStopChoices({true, false});
    startUntilStopped(chip16);
    EXPECT_EQ(chip16.machine().pc, 4);
    EXPECT_EQ(chip16.lastStop(), StopReason::unknownOpcode);
    chip16.stop();
}

TEST_F(DebugStopsTest, Chip16BreakpointStopsAgainOnTheFirstInstructionAfterContinue) {
    Chip16Runtime runtime(false);
    runtime.machine().framePacing = false;
    // 0 LDI R0, 1; 4 ADDI R0, 1; 8 JMP 4.
    runtime.load(Chip16Program().ldi(0, 1).addi(0, 1).jmp(4).image());
    runtime.setBreakpoint(4, true);
    startUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().R[0], 1);
    EXPECT_EQ(runtime.instructionsExecuted(), 1u);
    // Continue: ADDI, JMP 4, and it stops before ADDI again.
    continueUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().R[0], 2);
    EXPECT_EQ(runtime.instructionsExecuted(), 3u);
    runtime.setBreakpoint(4, false);
    runtime.setBreakpoint(8, true);
    continueUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().pc, 8);
    EXPECT_EQ(runtime.machine().R[0], 3);
    runtime.stop();
}

// Registers and memory written while paused are what the machine runs on after Continue.
TEST_F(DebugStopsTest, EditsWhilePausedTakeEffectOnContinue) {
    Chip8Runtime runtime(quorvixRules);
    runtime.load(chip8Sum());
    runtime.setBreakpoint(0x202, true);
    runtime.setBreakpoint(0x206, true);
    startUntilStopped(runtime);
    EXPECT_TRUE(runtime.setRegister("V0", 0x141)); // cut to the byte
    EXPECT_TRUE(runtime.setRegister("PC", 0x204)); // skip V1 = 2
    EXPECT_TRUE(runtime.setRegister("V1", 0x10));
    EXPECT_FALSE(runtime.setRegister("V16", 1));
    EXPECT_FALSE(runtime.setRegister("PLANES", 1)) << "not without XO-CHIP";
    runtime.poke(0x205, 0x14); // ADD V0, V1 stays; the next line changes it
    continueUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().V[0], 0x51);
    runtime.setRegister("PC", 0x204);
    runtime.poke(0x205, 0x04); // ADD V0, V0
    continueUntilStopped(runtime);
    EXPECT_EQ(runtime.machine().V[0], 0xA2);
    runtime.stop();

    Chip16Runtime chip16(false);
    chip16.load(Chip16Program().jmp(0).image());
    EXPECT_TRUE(chip16.setRegister("C", 5));
    EXPECT_TRUE(chip16.setRegister("RF", 0x12345));
    EXPECT_TRUE(chip16.setRegister("BG", 0x1C));
    EXPECT_FALSE(chip16.setRegister("RG", 1));
    EXPECT_EQ(chip16.machine().carry, 1);
    EXPECT_EQ(chip16.machine().R[15], 0x2345);
    EXPECT_EQ(chip16.machine().backgroundColour, 0xC);
}

TEST_F(DebugStopsTest, TraceReportsEachInstructionWithTheRegistersItChanged) {
    std::vector<TracedInstruction> traced;
    Chip16Runtime runtime(false);
    // 0 LDI R1, 0x8000; 4 ADD R1, R1 (0: carry, zero, overflow); 8 JMP 8.
    runtime.load(Chip16Program().ldi(1, 0x8000).add(1, 1).jmp(8).image());
    runtime.setTraceHook([&traced](const TracedInstruction& t) { traced.push_back(t); });
    for (int i = 0; i < 3; ++i) {
        runtime.stepInstruction();
    }
    ASSERT_EQ(traced.size(), 3u);
    EXPECT_EQ(traced[1].address, 4u);
    EXPECT_EQ(traced[1].instruction.text, "ADD R1, R1");
    EXPECT_EQ(traced[1].instruction.bytes, (std::vector<std::uint8_t>{0x41, 0x11, 0, 0}));
    std::string changed;
    for (const RegisterValue& r : traced[1].changed) {
        changed += r.name + "=" + std::to_string(r.value) + " ";
    }
    EXPECT_EQ(changed, "R1=0 C=1 Z=1 O=1 ");
    EXPECT_TRUE(traced[2].changed.empty()) << "a jump changes nothing but PC";
}

// quorvix-run's trace of a small program and its report at a breakpoint, as text.
TEST_F(DebugStopsTest, QuorvixRunTracesAndStopsAtABreak) {
    TempDirectory folder;
    // 200 V0 = 5; 202 V1 = 0xFF; 204 CALL 20A; 206 I = 300; 208 JP 208;
    // 20A V0 += V1 (carry); 20C RET.
    const std::string rom = folder.write("trace.ch8", Chip8Program()
                                                          .ld(V0, 5)
                                                          .ld(V1, 0xFF)
                                                          .call(0x20A)
                                                          .ldi(0x300)
                                                          .jp(0x208)
                                                          .add(V0, V1)
                                                          .ret()
                                                          .bytes());
    const std::string trace = (folder.path() / "trace.txt").string();
    const auto [status, output] = runCommand(std::string(QUORVIX_RUN_EXECUTABLE) + " --trace " +
                                             trace + " --break 0x208 " + rom);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "break at 0x0208: JP 0x208\n"
                      "V0=04 V1=FF V2=00 V3=00 V4=00 V5=00 V6=00 V7=00\n"
                      "V8=00 V9=00 VA=00 VB=00 VC=00 VD=00 VE=00 VF=01\n"
                      "I=0300 PC=0208 SP=0 S0=0000 S1=0206 S2=0000 S3=0000 S4=0000\n"
                      "S5=0000 S6=0000 S7=0000 S8=0000 S9=0000 SA=0000 SB=0000 SC=0000\n"
                      "SD=0000 SE=0000 SF=0000 DT=00 ST=00 HIRES=0\n");
    std::ifstream file(trace);
    std::stringstream lines;
    lines << file.rdbuf();
    EXPECT_EQ(lines.str(), "0200  60 05        LD V0, 0x05         V0=05\n"
                           "0202  61 FF        LD V1, 0xFF         V1=FF\n"
                           "0204  22 0A        CALL 0x20A          SP=1 S1=0206\n"
                           "020A  80 14        ADD V0, V1          V0=04 VF=01\n"
                           "020C  00 EE        RET                 SP=0\n"
                           "0206  A3 00        LD I, 0x300         I=0300\n");

    // An address the program never reaches is a failure, and one past memory a usage error.
    const std::string never =
        std::string(QUORVIX_RUN_EXECUTABLE) + " --seconds 0.2 --break 0x400 " + rom + " 2>&1";
    EXPECT_EQ(runCommand(never), std::make_pair(1, std::string("quorvix-run: the program did not "
                                                               "reach 0x400\n")));
    EXPECT_EQ(
        runCommand(std::string(QUORVIX_RUN_EXECUTABLE) + " --break 0x1000 " + rom + " 2>/dev/null")
            .first,
        2);
}
} // namespace
