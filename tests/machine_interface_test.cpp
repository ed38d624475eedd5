// The one machine interface, the same for both machines: pause, single steps, state
// values taken and restored, keys and the sound hook, on machines running on their
// workers.

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "app/machine_choices.h"
#include "chip16/frame_pacer.h"
#include "chip8/tick_pacer.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tests/support/captured_console.h"
#include "tools/program_builders/chip16_program.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace {
using namespace chip8reg;

class MachineInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        initClock();
        headless::setMainSurface(&sink);
    }
    void TearDown() override { headless::setMainSurface(nullptr); }

    // Runs the machine on its workers for a while, then pauses it.
    static void runThenPause(Machine& machine, std::chrono::milliseconds span) {
        machine.start();
        std::this_thread::sleep_for(span);
        machine.pause();
    }

    // Runs a paused machine in spans of 20 ms until `done` holds (a busy machine may give
    // its workers little time), and returns how long it ran.
    static std::chrono::steady_clock::duration runInSpansUntil(Machine& machine,
                                                               const std::function<bool()>& done) {
        std::chrono::steady_clock::duration ran{};
        for (int span = 0; span < 500 && !done(); ++span) {
            const auto resumed = std::chrono::steady_clock::now();
            machine.resume();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            machine.pause();
            ran += std::chrono::steady_clock::now() - resumed;
        }
        return ran;
    }

    CapturedConsole console;
    headless::FrameSink sink;
};

// A CHIP-8 program that counts in V0 and V1 forever and keeps its delay timer running.
Chip8Program countingProgram() {
    Chip8Program p;
    p.ld(V2, 0xFF).setDelay(V2);
    const auto loop = p.label();
    p.bind(loop).add(V0, 1).add(V1, 3).jp(loop);
    return p;
}

// Pause stops both the instructions and the timers, also the real-time timers of the
// machine's own rules; resume goes on from there.
TEST_F(MachineInterfaceTest, PauseStopsInstructionsAndTimersOfEveryRuleSet) {
    for (const Chip8Variant variant : {Chip8Variant::Quorvix, Chip8Variant::Chip8}) {
        Chip8Runtime runtime(chip8RulesFor(variant));
        runtime.load(countingProgram().bytes());
        runtime.pause();
        runtime.start();
        // Until the timer, set to FF by the program, has stepped.
        runInSpansUntil(runtime, [&runtime] {
            const std::uint8_t timer = runtime.machine().delayTimer;
            return timer != 0 && timer < 0xFF;
        });
        const std::uint64_t count = runtime.instructionsExecuted();
        const std::uint8_t delay = runtime.machine().delayTimer;
        ASSERT_LT(delay, 0xFF) << "the timer ran before the pause";
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // 30 timer periods
        EXPECT_EQ(runtime.instructionsExecuted(), count);
        EXPECT_EQ(runtime.machine().delayTimer, delay);
        const auto ran = runInSpansUntil(
            runtime, [&runtime, delay] { return runtime.machine().delayTimer + 3 <= delay; });
        runtime.stop();
        EXPECT_GT(runtime.instructionsExecuted(), count);
        // Lower only by the periods of 1/60 s it ran after the resume, not by the 30 it
        // stood still.
        EXPECT_LE(delay - runtime.machine().delayTimer, ran * 60 / std::chrono::seconds(1) + 2)
            << static_cast<int>(variant);
    }
}

// A real-time timer steps a period after its last step; the time a pause stood still
// does not count towards it, so Continue after a long pause steps no timer at once.
TEST_F(MachineInterfaceTest, APauseDoesNotCountTowardsTheNextTimerStep) {
    sink.setRefreshPeriod(0); // nothing else may move the hand-driven clock
    useManualClock(readPerformanceCounter());
    Chip8Runtime runtime(chip8RulesFor(Chip8Variant::Quorvix));
    runtime.load(countingProgram().bytes());
    const auto runSome = [&runtime] {
        const std::uint64_t count = runtime.instructionsExecuted();
        while (runtime.instructionsExecuted() < count + 1000) {
            std::this_thread::yield();
        }
    };
    runtime.start();
    runSome(); // DT = FF, timed from now on
    advanceManualClock(10'000'000);
    runtime.pause();
    advanceManualClock(1'000'000'000);
    runtime.resume();
    runSome();
    runtime.pause();
    EXPECT_EQ(runtime.machine().delayTimer, 0xFF) << "10 ms of a 16.7 ms period ran";
    runtime.resume();
    advanceManualClock(7'000'000);
    runSome();
    runtime.stop();
    useRealClock();
    EXPECT_EQ(runtime.machine().delayTimer, 0xFE) << "17 ms ran";
}

// One step runs exactly one instruction; under paced rules a frame step runs exactly one
// tick's instructions and steps the timers once.
TEST_F(MachineInterfaceTest, Chip8StepsRunOneInstructionOrOneTick) {
    Chip8Rules paced = chip8RulesFor(Chip8Variant::Chip8);
    paced.instructionsPerTick = 15;
    Chip8Runtime runtime(paced);
    runtime.load(countingProgram().bytes());
    runtime.pause();
    runtime.start();
    const Chip8Machine& m = runtime.machine();
    runtime.stepInstruction(); // V2 = FF; the tick begins, the timer is still 0
    EXPECT_EQ(m.pc, 0x202);
    EXPECT_EQ(m.V[2], 0xFF);
    runtime.stepInstruction(); // DT = FF
    runtime.stepInstruction(); // V0 = 1
    EXPECT_EQ(m.pc, 0x206);
    EXPECT_EQ(m.V[0], 1);
    EXPECT_EQ(m.V[1], 0);
    EXPECT_EQ(runtime.instructionsExecuted(), 3u);
    // The rest of the first tick: 12 instructions, 4 loops of three.
    runtime.stepFrame();
    EXPECT_EQ(runtime.instructionsExecuted(), 15u);
    EXPECT_EQ(m.V[0], 5);
    EXPECT_EQ(m.delayTimer, 0xFF);
    // A whole tick: the timer steps once, 15 instructions = 5 loops.
    runtime.stepFrame();
    EXPECT_EQ(runtime.instructionsExecuted(), 30u);
    EXPECT_EQ(m.V[0], 10);
    EXPECT_EQ(m.delayTimer, 0xFE);
    runtime.stop();
}

// A state taken from a running paced machine and restored into a fresh one runs on
// exactly as the original does.
TEST_F(MachineInterfaceTest, Chip8StateRestoredIntoAFreshMachineRunsOnIdentically) {
    Chip8Program p;
    p.ld(V3, 40).setSound(V3).rnd(V4, 0xFF).ldi(0).drw(V4, V1, 5).add(V1, 1).jp(0x204);
    const Chip8Rules rules = chip8RulesFor(Chip8Variant::SuperChipModern);
    Chip8Runtime original(rules);
    original.machine().tickPacing = false;
    original.load(p.bytes());
    // A generator not yet seeded takes its seed from the clock at its first draw, which
    // the copy would do at another moment.
    original.machine().random = seededRandom(5);
    runThenPause(original, std::chrono::milliseconds(20));
    original.stepInstruction(); // in the middle of a tick
    const std::any state = original.takeState();

    Chip8Runtime copy(chip8RulesFor(Chip8Variant::Quorvix));
    copy.load(Chip8Program().jp(0x200).bytes());
    ASSERT_TRUE(copy.restoreState(state));
    EXPECT_EQ(copy.machine().rules, rules) << "the state carries its rules";
    for (int frame = 0; frame < 20; ++frame) {
        original.stepFrame();
        copy.stepFrame();
    }
    const Chip8Machine& a = original.machine();
    const Chip8Machine& b = copy.machine();
    EXPECT_EQ(original.screenText(), copy.screenText());
    EXPECT_EQ(a.V, b.V);
    EXPECT_EQ(a.pc, b.pc);
    EXPECT_EQ(a.soundTimer, b.soundTimer);
    EXPECT_EQ(a.random, b.random);
    EXPECT_FALSE(copy.restoreState(std::any(Chip16State{}))) << "another machine's state";
    original.stop();
}

// Every CHIP-8 key through the interface reaches Ex9E; every Chip-16 button reaches the
// controller byte at the next frame boundary.
TEST_F(MachineInterfaceTest, KeysReachEveryMachineKey) {
    Chip8Runtime chip8(quorvixRules);
    for (unsigned key = 0; key < 16; ++key) {
        // V0 = key; skip the next instruction when it is held; else V1 = 1.
        chip8.load(Chip8Program().ld(V0, static_cast<std::uint8_t>(key)).skp(V0).ld(V1, 1).bytes());
        chip8.setKey(key, true);
        for (int i = 0; i < 3; ++i) {
            chip8.stepInstruction();
        }
        EXPECT_EQ(chip8.machine().V[1], 0) << key;
        chip8.releaseKeys();
    }
    chip8.setKey(16, true); // no such key
    EXPECT_EQ(chip8.machine().keys.bits(), 0u);

    Chip16Runtime chip16(false);
    chip16.load(Chip16Program().jmp(0).image());
    for (unsigned bit = 0; bit < 8; ++bit) {
        chip16.setKey(bit, true);
        chip16.stepFrame();
        EXPECT_EQ(chip16.machine().memory[0xFFF0], 1u << bit);
        chip16.setKey(bit, false);
    }
}

// Chip-16: one step is one instruction, also across a frame boundary; Step Frame ends
// right after the boundary's vblank instruction; the frame clock stands while paused.
TEST_F(MachineInterfaceTest, Chip16StepsAndPauseFollowTheFrameClock) {
    Chip16Program counting;
    counting.addi(0, 1).jmp(0);
    Chip16Runtime runtime(false);
    runtime.machine().framePacing = false;
    runtime.load(counting.image());
    runtime.stepInstruction();
    EXPECT_EQ(runtime.machine().R[0], 1);
    EXPECT_EQ(runtime.instructionsExecuted(), 1u);
    runtime.stepFrame();
    // The first boundary follows instruction 16667, and its own instruction is 16668.
    EXPECT_EQ(runtime.instructionsExecuted(), 16668u);
    EXPECT_EQ(runtime.machine().framesCompleted, 1u);

    runThenPause(runtime, std::chrono::milliseconds(30));
    const std::uint64_t frames = runtime.machine().framesCompleted;
    const std::uint64_t count = runtime.instructionsExecuted();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(runtime.machine().framesCompleted, frames);
    EXPECT_EQ(runtime.instructionsExecuted(), count);
    const std::any state = runtime.takeState();
    runtime.stepInstruction();
    EXPECT_EQ(runtime.instructionsExecuted(), count + 1);
    runtime.stop();

    Chip16Runtime copy(false);
    copy.load(Chip16Program().image());
    ASSERT_TRUE(copy.restoreState(state));
    copy.stepInstruction();
    EXPECT_EQ(copy.machine().R, runtime.machine().R);
    EXPECT_EQ(copy.machine().pc, runtime.machine().pc);
    EXPECT_FALSE(copy.restoreState(std::any(Chip8State{})));
}

// What a machine reports to its sound hook, stamped with its own time.
TEST_F(MachineInterfaceTest, MachinesReportTheirSoundsWithTheirOwnTime) {
    std::vector<SoundEvent> events;
    const SoundHook record = [&events](const SoundEvent& event) { events.push_back(event); };

    Chip8Rules xo = chip8RulesFor(Chip8Variant::XoChip);
    xo.instructionsPerTick = 4;
    Chip8Runtime chip8(xo);
    chip8.setSoundHook(record);
    // Tick 1: V0 = 2, ST = 2, pattern from 0 (the font), pitch = 2. Ticks 2 and 3 step
    // the timer to 0.
    chip8.load(Chip8Program().ld(V0, 2).setSound(V0).audio().pitch(V0).jp(0x208).bytes());
    for (int tick = 0; tick < 3; ++tick) {
        chip8.stepFrame();
    }
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, SoundEventKind::TimerStarted);
    EXPECT_TRUE(events[0].patterned);
    EXPECT_EQ(events[0].time, 16'666'667u);
    EXPECT_EQ(events[1].kind, SoundEventKind::PatternLoaded);
    EXPECT_EQ(events[1].pattern[0], 0xF0) << "the font's first byte";
    EXPECT_EQ(events[2].kind, SoundEventKind::PitchSet);
    EXPECT_EQ(events[2].pitch, 2);
    EXPECT_EQ(events[3].kind, SoundEventKind::TimerStopped);
    EXPECT_EQ(events[3].time, 3 * 16'666'667u);

    events.clear();
    Chip16Runtime chip16(true);
    chip16.setSoundHook(record);
    // LDI R1, 0x0100; SNG AD=12 SR=34 VT=52 (attack 1, decay 2, sustain 3, release 4,
    // volume 5, pulse); SNP R1, 300 ms (the word at 0x0100: 440 Hz); SND2 100 ms; SND0.
    std::vector<std::uint8_t> image = {0x20, 0x01, 0x00, 0x01, 0x0E, 0x12, 0x34, 0x52, 0x0D, 0x01,
                                       0x2C, 0x01, 0x0B, 0x00, 0x64, 0x00, 0x09, 0x00, 0x00, 0x00};
    image.resize(0x102);
    image[0x100] = 0xB8; // 440, little-endian
    image[0x101] = 0x01;
    chip16.load(image);
    for (int i = 0; i < 5; ++i) {
        chip16.stepInstruction();
    }
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, SoundEventKind::ToneStarted);
    EXPECT_EQ(events[0].frequency, 440u);
    EXPECT_EQ(events[0].durationMilliseconds, 300u);
    EXPECT_TRUE(events[0].enveloped);
    EXPECT_EQ(events[0].envelope, (ToneEnvelope{1, 2, 3, 4, 5, ToneWaveform::Pulse}));
    EXPECT_EQ(events[0].time, 3000u) << "the third instruction, 1 us each";
    EXPECT_EQ(events[1].frequency, 1000u);
    EXPECT_EQ(events[1].durationMilliseconds, 100u);
    EXPECT_FALSE(events[1].enveloped);
    EXPECT_EQ(events[2].kind, SoundEventKind::ToneStopped);
}
} // namespace
