#include "roms/demo_programs.h"

#include "app/console_log.h"
#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "platform/headless/headless_host.h"
#include "tests/support/temp_file.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/run_rom.h"

#include <gtest/gtest.h>

namespace {
// Runs the ROM headless for `frames` frames with the keys held from frame 5 on, and
// returns what it logged.
std::string runDemo(const std::string& path, MachineKind kind, std::uint64_t frames,
                    std::vector<std::string> keys) {
    RunOptions options;
    options.romPath = path;
    options.frames = frames;
    options.log = true;
    for (const std::string& key : keys) {
        options.keyHolds.push_back(*parseKeyHold(key + "@5-" + std::to_string(frames), kind));
    }
    headless::captureConsole(true);
    headless::takeConsoleText();
    EXPECT_EQ(runRom(options), 0);
    verboseConsole = 0;
    headless::captureConsole(false);
    return headless::takeConsoleText();
}

TEST(DemoRomsTest, Chip8DemoSteersTheShipAndShowsTheKey) {
    TempDirectory folder;
    const std::string rom = folder.write("demo.ch8", chip8DemoRom());
    EXPECT_EQ(runDemo(rom, MachineKind::Chip8, 40, {}), "Mode = Super Chip-8\n");
    EXPECT_EQ(chip8.V[4], 60); // the ship stays home
    EXPECT_EQ(chip8.V[0xA], 0);
    EXPECT_EQ(chip8.hiRes, 1);
    const std::uint8_t ballX = chip8.V[0];
    EXPECT_NE(ballX, 56); // the ball moves by itself

    // Keypad 9 (PC key D) steers right; 5 (W) up; the lowest key held is shown.
    EXPECT_EQ(runDemo(rom, MachineKind::Chip8, 40, {"9", "5"}), "Mode = Super Chip-8\n");
    EXPECT_GT(chip8.V[4], 60);
    EXPECT_LT(chip8.V[5], 54);
    EXPECT_EQ(chip8.V[0xA], 5);
}

TEST(DemoRomsTest, Chip16DemoMovesTheShipWithTheController) {
    TempDirectory folder;
    const std::string rom = folder.write("demo.c16", chip16DemoRom());
    EXPECT_EQ(runDemo(rom, MachineKind::Chip16, 30, {}), "");
    EXPECT_EQ(chip16.R[0], 152);
    EXPECT_EQ(chip16.R[1], 200);
    EXPECT_EQ(chip16.backgroundColour, 0xB);

    EXPECT_EQ(runDemo(rom, MachineKind::Chip16, 30, {"left", "up", "b"}), "");
    EXPECT_LT(chip16.R[0], 152);
    EXPECT_LT(chip16.R[1], 200);
    EXPECT_EQ(chip16.backgroundColour, 0xC);

    // Held against the corner, the ship stops at the edge of the screen.
    EXPECT_EQ(runDemo(rom, MachineKind::Chip16, 200, {"right", "down"}), "");
    EXPECT_EQ(chip16.R[0], 320 - 16);
    EXPECT_EQ(chip16.R[1], 240 - 16);
}
} // namespace
