#include "roms/demo_programs.h"

#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"
#include "platform/random.h"
#include "tests/support/golden.h"
#include "tests/support/temp_file.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/run_rom.h"
#include "tools/quorvix_run/runner_machine.h"

#include <gtest/gtest.h>

namespace {
// Runs the demo headless for `frames` frames, the keys held from frame 5 on; returns
// what it logged.
std::string runDemo(const std::vector<std::uint8_t>& rom, MachineKind kind, std::uint64_t frames,
                    const std::vector<std::string>& keys) {
    TempDirectory folder;
    RunOptions options;
    options.romPath = folder.write(kind == MachineKind::Chip8 ? "demo.ch8" : "demo.c16", rom);
    options.frames = frames;
    options.log = true;
    for (const std::string& key : keys) {
        options.keyHolds.push_back(*parseKeyHold(key + "@5-" + std::to_string(frames), kind));
    }
    headless::captureConsole(true);
    headless::takeConsoleText();
    EXPECT_EQ(runRom(options), 0);
    headless::captureConsole(false);
    return headless::takeConsoleText();
}

TEST(DemoRomsTest, Chip8DemoAnimatesAndFollowsTheKeypad) {
    EXPECT_EQ(runDemo(chip8DemoRom(), MachineKind::Chip8, 40, {}), "Mode = Super Chip-8\n");
    EXPECT_EQ(chip8.V[4], 60); // the ship stays home, the ball moves by itself
    EXPECT_NE(chip8.V[0], 56);
    // Keypad 9 (PC key D) steers right, 5 (W) up; the lowest key held is shown.
    EXPECT_EQ(runDemo(chip8DemoRom(), MachineKind::Chip8, 40, {"9", "5"}), "Mode = Super Chip-8\n");
    EXPECT_GT(chip8.V[4], 60);
    EXPECT_LT(chip8.V[5], 54);
    EXPECT_EQ(chip8.V[0xA], 5);
}

TEST(DemoRomsTest, Chip16DemoFollowsTheControllerWithinTheScreen) {
    EXPECT_EQ(runDemo(chip16DemoRom(), MachineKind::Chip16, 30, {"left", "up", "b"}), "");
    EXPECT_LT(chip16.R[0], 152);
    EXPECT_LT(chip16.R[1], 200);
    EXPECT_EQ(chip16.backgroundColour, 0xC);
    EXPECT_EQ(runDemo(chip16DemoRom(), MachineKind::Chip16, 200, {"right", "down"}), "");
    EXPECT_EQ(chip16.R[0], 320 - 16);
    EXPECT_EQ(chip16.R[1], 240 - 16);
    EXPECT_EQ(chip16.backgroundColour, 0xB);
}
// The screen at frames 30 and 90 of a machine of the test's own, 500 instructions a
// frame with the clock driven by hand: D (keypad 9) held in frames 21-60 steers right,
// W (keypad 5) in frames 41-70 up.
TEST(DemoRomsTest, Chip8DemoGoldenFrames) {
    initClock();
    useManualClock(clockStart + 1);
    seedRandom(8);
    randomSeeded = true;
    TempDirectory folder;
    auto m = std::make_unique<Chip8Machine>();
    ASSERT_TRUE(loadChip8Rom(*m, 512, folder.write("demo.ch8", chip8DemoRom()).c_str()));
    resetChip8Machine(*m);
    std::string text;
    for (int frame = 1; frame <= 90; ++frame) {
        setKeyDown(0x44, frame > 20 && frame <= 60);
        setKeyDown(0x57, frame > 40 && frame <= 70);
        for (int i = 0; i < 500; ++i) {
            stepChip8(*m, elapsedNanoseconds());
        }
        advanceManualClock(16'666'667);
        if (frame == 30 || frame == 90) {
            text += "frame " + std::to_string(frame) + ": " + chip8ScreenText(*m);
        }
    }
    releaseAllKeys();
    useRealClock();
    expectGolden("chip8_demo.txt", text);
}
} // namespace
