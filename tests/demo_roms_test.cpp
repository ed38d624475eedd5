#include "roms/demo_programs.h"

#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "platform/headless/headless_host.h"
#include "tests/support/temp_file.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/run_rom.h"

#include <gtest/gtest.h>

namespace {
// Runs the demo headless for `frames` counts, the keys held from count 5 on; returns
// what it logged.
std::string runDemo(const std::vector<std::uint8_t>& rom, MachineKind kind, std::uint64_t frames,
                    const std::vector<std::string>& keys) {
    TempDirectory folder;
    RunOptions options;
    options.romPath = folder.write(kind == MachineKind::Chip8 ? "demo.ch8" : "demo.c16", rom);
    options.frames = frames;
    // The counts follow the display clock. The CHIP-8 demo paces itself by the delay
    // timer, which follows the same clock; the Chip-16 demo moves by machine frames,
    // so it runs unpaced, where each presented frame counts.
    options.noWait = kind == MachineKind::Chip16;
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
} // namespace
