#include "roms/demo_programs.h"

#include "app/chip8_runtime.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/tick_pacer.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "tests/support/golden.h"

#include <gtest/gtest.h>

namespace {
// The screen at frames 30 and 90 of a machine of the test's own, 500 instructions a
// frame with the clock driven by hand: D (keypad 9) held in frames 21-60 steers right,
// W (keypad 5) in frames 41-70 up.
TEST(DemoRomsTest, Chip8DemoGoldenFrames) {
    initClock();
    useManualClock(clockStart + 1);
    auto m = std::make_unique<Chip8Machine>();
    loadChip8Rom(*m, chip8DemoRom());
    resetChip8Machine(*m);
    m->random = seededRandom(8);
    std::string text;
    for (int frame = 1; frame <= 90; ++frame) {
        m->keys.set(0x9, frame > 20 && frame <= 60);
        m->keys.set(0x5, frame > 40 && frame <= 70);
        for (int i = 0; i < 500; ++i) {
            stepChip8(*m, elapsedNanoseconds());
        }
        advanceManualClock(16'666'667);
        if (frame == 30 || frame == 90) {
            text += "frame " + std::to_string(frame) + ": " + chip8ScreenText(*m);
        }
    }
    useRealClock();
    expectGolden("chip8_demo.txt", text);
}

// The XO-CHIP demo at ticks 1 and 40 of a machine of the test's own, its paced ticks
// run back to back: all four looks ('.', '#' plane 1, '+' plane 2, '@' both) show in the
// golden frames, and the ball has moved 39 pixels down and right, turning at the bottom
// edge.
TEST(DemoRomsTest, XoChipDemoGoldenFramesShowAllFourColours) {
    initClock();
    auto m = std::make_unique<Chip8Machine>();
    m->rules = chip8RulesFor(Chip8Variant::XoChip);
    m->tickPacing = false;
    loadChip8Rom(*m, xoChipDemoRom());
    resetChip8Machine(*m);
    std::string text;
    for (int tick = 1; tick <= 40; ++tick) {
        runChip8Batch(*m);
        if (tick == 1 || tick == 40) {
            text += "tick " + std::to_string(tick) + ": " + chip8ScreenText(*m);
        }
    }
    expectGolden("xochip_demo.txt", text);
}
} // namespace
