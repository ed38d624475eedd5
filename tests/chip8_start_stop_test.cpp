// Starting and stopping the machine on its real workers.

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "chip8/start_stop.h"
#include "platform/headless/headless_host.h"
#include "tests/chip8_test_machine.h"
#include "tests/support/temp_file.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

namespace {
using namespace chip8reg;

class Chip8StartStopTest : public Chip8MachineTest {
  protected:
    void SetUp() override {
        Chip8MachineTest::SetUp();
        sink.setRefreshPeriod(1'000'000);
        headless::setMainSurface(&sink);
    }
    void TearDown() override {
        stopChip8();
        headless::setMainSurface(nullptr);
        Chip8MachineTest::TearDown();
    }
    std::string rom(const Chip8Program& program) {
        return folder.write("rom" + std::to_string(++roms) + ".ch8", program.bytes());
    }
    // Waits for the running program's exit instruction to ask for a Reset.
    static std::vector<int> waitForPostedCommands() {
        EXPECT_TRUE(waitUntil([] { return headless::postedCommandCount() > 0; }));
        return headless::takePostedCommands();
    }
    static void waitForInstructions(std::uint64_t count) {
        const std::uint64_t target = chip8InstructionsExecuted() + count;
        EXPECT_TRUE(waitUntil([&] { return chip8InstructionsExecuted() >= target; }));
    }

    headless::FrameSink sink;
    TempDirectory folder;
    int roms = 0;
};

// The first program leaves traces in every part a start resets; the second, started
// as a restart, reads the RPL flags back and exits at once.
TEST_F(Chip8StartStopTest, ARestartBuildsAFreshMachine) {
    Chip8Program first;
    const auto sprite = first.label();
    first.ld(V0, 0x2A).ld(V3, 9).storeFlags(V3).high().ldi(sprite).drw(V0, V0, 1).exit();
    first.bind(sprite).data({0xFF});
    startChip8(rom(first));
    EXPECT_NE(chip8.renderWorker, nullptr);
    EXPECT_NE(chip8.executeWorker, nullptr);
    EXPECT_NE(chip8.display, nullptr);
    EXPECT_EQ(waitForPostedCommands(), std::vector<int>{chip8ResetCommand});
    stopChip8();
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_EQ(chip8.display, nullptr);
    EXPECT_EQ(chip8.pc, 0x20C);
    EXPECT_EQ(chip8.rplFlags[3], 9);
    EXPECT_EQ(chip8.hiRes, 1);
    EXPECT_NE(chip8ScreenRows(true).find('#'), std::string::npos);

    Chip8Program second;
    second.loadFlags(V7).exit();
    startChip8(rom(second));
    EXPECT_EQ(waitForPostedCommands(), std::vector<int>{chip8ResetCommand});
    stopChip8();
    EXPECT_EQ(chip8.pc, 0x202);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(chip8.V[i], 0) << i;
    }
    EXPECT_EQ(chip8.I, 0);
    EXPECT_EQ(chip8.hiRes, 0);
    EXPECT_EQ(chip8ScreenRows(true).find('#'), std::string::npos);
    EXPECT_EQ(chip8.screenWidth, 128u);
    EXPECT_EQ(chip8.screenHeight, 64u);
}

TEST_F(Chip8StartStopTest, ExitKeepsOneResetPendingAcrossBatches) {
    startChip8(rom(Chip8Program().exit()));
    EXPECT_EQ(waitForPostedCommands(), std::vector<int>{chip8ResetCommand});
    waitForInstructions(20'000);
    EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{});
    stopChip8();
    EXPECT_FALSE(chip8ResetPending());
    startChip8(rom(Chip8Program().exit()));
    EXPECT_EQ(waitForPostedCommands(), std::vector<int>{chip8ResetCommand});
}

TEST_F(Chip8StartStopTest, AFailedLoadLeavesTheMachineStopped) {
    Chip8Program loop;
    loop.ld(V5, 0x55).exit();
    startChip8(rom(loop));
    waitForPostedCommands();
    console();
    startChip8((folder.path() / "missing.ch8").string());
    EXPECT_TRUE(console().ends_with("QUIT Opcode\nError: Rom not found!\n"));
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_EQ(chip8.display, nullptr);
    EXPECT_EQ(chip8.V[5], 0x55) << "registers are not reset";
    EXPECT_EQ(chip8.pc, 0x202);

    stopChip8();
    stopChip8();
    EXPECT_EQ(chip8.executeWorker, nullptr);
}

// A program that draws without pause keeps the render mutex busy; stopping must end
// the interpreter before the display and its worker go away.
TEST_F(Chip8StartStopTest, StopsCleanlyWhileDrawingAndPresenting) {
    Chip8Program p;
    const auto loop = p.label();
    p.ldi(0).bind(loop).drw(V0, V1, 5).add(V0, 3).scr().drw(V0, V1, 0).high().jp(loop);
    for (int round = 0; round < 3; ++round) {
        startChip8(rom(p));
        const std::uint64_t frames = sink.framesShown();
        EXPECT_TRUE(waitUntil([&] { return sink.framesShown() >= frames + 3; }));
        stopChip8();
        EXPECT_EQ(chip8.display, nullptr);
    }
}
} // namespace
