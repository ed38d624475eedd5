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
    // Starts the program and waits until its exit instruction has asked for a Reset.
    void startUntilExit(const Chip8Program& program) {
        startChip8(folder.write("rom" + std::to_string(++roms) + ".ch8", program.bytes()));
        EXPECT_TRUE(waitUntil([] { return headless::postedCommandCount() > 0; }));
        EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{chip8ResetCommand});
    }

    headless::FrameSink sink;
    TempDirectory folder;
    int roms = 0;
};

// The first program leaves traces in every part a start resets; the second reads the
// RPL flags back and exits at once.
TEST_F(Chip8StartStopTest, ARestartBuildsAFreshMachine) {
    Chip8Program first;
    first.ld(V0, 0x2A).ld(V3, 9).storeFlags(V3).high().ldi(0).drw(V0, V0, 1).exit();
    startUntilExit(first);
    EXPECT_NE(chip8.display, nullptr);
    stopChip8();
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_EQ(chip8.display, nullptr);
    EXPECT_EQ(chip8.pc, 0x20C);
    EXPECT_EQ(chip8.rplFlags[3], 9);
    EXPECT_NE(chip8ScreenRows(true).find('#'), std::string::npos);

    startUntilExit(Chip8Program().loadFlags(V7).exit());
    stopChip8();
    EXPECT_EQ(chip8.pc, 0x202);
    EXPECT_EQ(chip8.V, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(chip8.I, 0);
    EXPECT_EQ(chip8.hiRes, 0);
    EXPECT_EQ(chip8ScreenRows(true).find('#'), std::string::npos);
}

TEST_F(Chip8StartStopTest, ExitKeepsOneResetPendingAcrossBatches) {
    startUntilExit(Chip8Program().exit());
    const std::uint64_t target = chip8InstructionsExecuted() + 20'000;
    EXPECT_TRUE(waitUntil([&] { return chip8InstructionsExecuted() >= target; }));
    EXPECT_EQ(headless::postedCommandCount(), 0u);
    startUntilExit(Chip8Program().exit()); // the stop inside the start allows a new one
}

TEST_F(Chip8StartStopTest, AFailedLoadLeavesTheMachineStopped) {
    startUntilExit(Chip8Program().ld(V5, 0x55).exit());
    startChip8((folder.path() / "missing.ch8").string());
    EXPECT_TRUE(console().ends_with("QUIT Opcode\nError: Rom not found!\n"));
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_EQ(chip8.V[5], 0x55) << "registers are not reset";
    stopChip8();
    stopChip8();
}

// A program that draws without pause keeps the render mutex busy; stopping must end
// the interpreter before the display and its worker go away.
TEST_F(Chip8StartStopTest, StopsCleanlyWhileDrawingAndPresenting) {
    Chip8Program p;
    p.ldi(0).drw(V0, V1, 5).add(V0, 3).scr().drw(V0, V1, 0).high().jp(0x202);
    for (int round = 0; round < 3; ++round) {
        startChip8(folder.write("draw.ch8", p.bytes()));
        const std::uint64_t frames = sink.framesShown();
        EXPECT_TRUE(waitUntil([&] { return sink.framesShown() >= frames + 3; }));
        stopChip8();
        EXPECT_EQ(chip8.display, nullptr);
    }
}
} // namespace
