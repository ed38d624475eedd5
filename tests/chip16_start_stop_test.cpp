#include "chip16/start_stop.h"

#include "app/emulator_state.h"
#include "chip16/frame_pacer.h"
#include "platform/headless/headless_host.h"
#include "tests/chip16_test_support.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {
class Chip16StartStop : public ::testing::Test {
  protected:
    void SetUp() override {
        EmulatorMode = MachineKind::Chip16;
        setFramePacingEnabled(false);
        headless::setMainSurface(&sink);
    }
    void TearDown() override {
        stopChip16();
        headless::setMainSurface(nullptr);
        setFramePacingEnabled(true);
    }

    // Waits (up to 10 s) until the display has shown `count` frames.
    bool waitForFrames(std::uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sink.framesShown() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // Leaves every field that a start resets in a state no start produces.
    static void scribble() {
        chip16.R.fill(0xBEEF);
        chip16.carry = chip16.zero = chip16.overflow = chip16.negative = 1;
        chip16.screen.fill(7);
        chip16.spriteWidth = 12;
        chip16.spriteHeight = 34;
        chip16.backgroundColour = 5;
        chip16.flipHorizontal = chip16.flipVertical = 1;
    }

    headless::FrameSink sink;
    TempDirectory folder;
};
} // namespace

TEST_F(Chip16StartStop, EachStartRunsAFreshMachineFromTheImagesStartAddress) {
    // From 0 the program marks R1, from 8 (the header's start address) R2; both then
    // loop without touching anything else.
    Chip16Program program;
    program.ldi(1, 0xAAAA).jmp(4);
    program.at(8).ldi(2, 0x5555).jmp(12);
    const std::string raw = folder.write("raw.c16", program.image());
    const std::string headered = folder.write("h.c16", withChip16Header(program.image(), 8));

    for (const std::string& path : {raw, headered, raw}) {
        scribble();
        startChip16(path);
        ASSERT_NE(chip16.display, nullptr);
        ASSERT_NE(chip16.executeWorker, nullptr);
        ASSERT_TRUE(waitForFrames(sink.framesShown() + 2));
        stopChip16();
        EXPECT_EQ(chip16.display, nullptr);
        EXPECT_EQ(chip16.executeWorker, nullptr);

        const bool fromHeader = path == headered;
        EXPECT_EQ(chip16.R[1], fromHeader ? 0 : 0xAAAA) << path;
        EXPECT_EQ(chip16.R[2], fromHeader ? 0x5555 : 0) << path;
        EXPECT_EQ(chip16.R[3], 0);
        EXPECT_EQ(chip16.sp, 0xFDF0);
        EXPECT_EQ(chip16.carry + chip16.zero + chip16.overflow + chip16.negative, 0);
        EXPECT_TRUE(std::all_of(chip16.screen.begin(), chip16.screen.end(),
                                [](std::uint8_t p) { return p == 0; }));
        EXPECT_EQ(chip16.spriteWidth + chip16.spriteHeight, 0);
        EXPECT_EQ(chip16.backgroundColour, 0);
        EXPECT_EQ(chip16.flipHorizontal + chip16.flipVertical, 0);
    }
}

TEST_F(Chip16StartStop, AMissingRomStopsTheRunningMachineAndStartsNothing) {
    Chip16Program program;
    program.vblnk().jmp(0);
    startChip16(folder.write("loop.c16", program.image()));
    ASSERT_TRUE(waitForFrames(1));

    CapturedConsole console;
    startChip16((folder.path() / "missing.c16").string());
    EXPECT_EQ(console.take(), "Error: Rom not found!\n");
    EXPECT_EQ(chip16.display, nullptr);
    EXPECT_EQ(chip16.executeWorker, nullptr);
    EXPECT_TRUE(std::all_of(chip16.memory.begin(), chip16.memory.end(),
                            [](std::uint8_t b) { return b == 0; }));
    stopChip16();
    stopChip16();
    EXPECT_EQ(chip16.executeWorker, nullptr);
}

TEST_F(Chip16StartStop, AHeaderWithAWrongChecksumIsReportedAndTheImageRuns) {
    Chip16Program program;
    program.addi(1, 1).jmp(0);
    auto file = withChip16Header(program.image());
    file[15] ^= 0x01;
    CapturedConsole console;
    startChip16(folder.write("bad.c16", file));
    ASSERT_TRUE(waitForFrames(1));
    stopChip16();
    EXPECT_NE(console.take().find("CRC-32"), std::string::npos);
    EXPECT_GT(chip16.R[1], 0);
}
