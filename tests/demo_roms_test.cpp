#include "roms/demo_programs.h"

#include "app/emulator_state.h"
#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "chip16/start_stop.h"
#include "chip8/chip8_machine.h"
#include "display/frame_device.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"
#include "tests/support/temp_file.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/run_rom.h"

#include <gtest/gtest.h>

namespace {
// Runs the CHIP-8 demo headless for `frames` refresh periods, the keys held from
// period 5 on; returns what it logged. The demo paces itself by the delay timer, which
// follows the same clock.
std::string runChip8Demo(std::uint64_t frames, const std::vector<std::string>& keys) {
    TempDirectory folder;
    RunOptions options;
    options.romPath = folder.write("demo.ch8", chip8DemoRom());
    options.frames = frames;
    options.log = true;
    for (const std::string& key : keys) {
        options.keyHolds.push_back(
            *parseKeyHold(key + "@5-" + std::to_string(frames), MachineKind::Chip8));
    }
    headless::captureConsole(true);
    headless::takeConsoleText();
    EXPECT_EQ(runRom(options), 0);
    headless::captureConsole(false);
    return headless::takeConsoleText();
}

// Runs the Chip-16 demo unpaced for `frames` machine frames (each one presented), the
// keys (Windows virtual-key codes) held from frame 5 on. The demo moves by frames, so
// the result does not depend on how fast the machine runs.
void runChip16Demo(std::uint64_t frames, const std::vector<int>& keys) {
    TempDirectory folder;
    initClock();
    EmulatorMode = MachineKind::Chip16;
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(false);
    setFramePacingEnabled(false);
    startChip16(folder.write("demo.c16", chip16DemoRom()));
    std::uint64_t shown = 0;
    auto waitForFrames = [&](std::uint64_t count) {
        while (shown < count) {
            const std::uint64_t before = shown;
            shown = sink.waitForFrameAfter(shown, std::chrono::seconds(60));
            ASSERT_GT(shown, before) << "no frame for a minute";
        }
    };
    waitForFrames(5);
    for (const int key : keys) {
        setKeyDown(key, true);
    }
    waitForFrames(frames);
    stopChip16();
    releaseAllKeys();
    headless::setMainSurface(nullptr);
    setRefreshWaitEnabled(true);
    setFramePacingEnabled(true);
}

constexpr int vkLeft = 0x25, vkUp = 0x26, vkRight = 0x27, vkDown = 0x28, vkV = 0x56;

TEST(DemoRomsTest, Chip8DemoAnimatesAndFollowsTheKeypad) {
    EXPECT_EQ(runChip8Demo(40, {}), "Mode = Super Chip-8\n");
    EXPECT_EQ(chip8.V[4], 60); // the ship stays home, the ball moves by itself
    EXPECT_NE(chip8.V[0], 56);
    // Keypad 9 (PC key D) steers right, 5 (W) up; the lowest key held is shown.
    EXPECT_EQ(runChip8Demo(40, {"9", "5"}), "Mode = Super Chip-8\n");
    EXPECT_GT(chip8.V[4], 60);
    EXPECT_LT(chip8.V[5], 54);
    EXPECT_EQ(chip8.V[0xA], 5);
}

TEST(DemoRomsTest, Chip16DemoFollowsTheControllerWithinTheScreen) {
    runChip16Demo(30, {vkLeft, vkUp, vkV}); // V is the controller's B
    EXPECT_LT(chip16.R[0], 152);
    EXPECT_LT(chip16.R[1], 200);
    EXPECT_EQ(chip16.backgroundColour, 0xC);
    runChip16Demo(200, {vkRight, vkDown});
    EXPECT_EQ(chip16.R[0], 320 - 16);
    EXPECT_EQ(chip16.R[1], 240 - 16);
    EXPECT_EQ(chip16.backgroundColour, 0xB);
}
} // namespace
