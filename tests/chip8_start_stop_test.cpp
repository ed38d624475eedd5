// Starting and stopping the machine on its real workers.

#include "tests/chip8_test_machine.h"

namespace {
using namespace chip8reg;

class Chip8StartStopTest : public Chip8MachineTest {
  protected:
    // Starts the program and waits until its exit instruction has asked for a Reset.
    void startUntilExit(const Chip8Program& program) {
        startRom(folder.write("rom.ch8", program.bytes()));
        EXPECT_TRUE(waitUntil([] { return headless::postedCommandCount() > 0; }));
        EXPECT_EQ(headless::takePostedCommands(), std::vector<int>{32772});
    }
};

// The first program leaves traces in every part a start resets; the second, started
// over the running first, reads the RPL flags back and exits at once, which also shows
// that the stop ended the first machine's pending Reset. A failed load then leaves the
// machine stopped and its registers as they were.
TEST_F(Chip8StartStopTest, ARestartBuildsAFreshMachineAndAFailedLoadLeavesItStopped) {
    Chip8Program first;
    first.ld(V0, 0x2A).ld(V3, 9).storeFlags(V3).high().ldi(0).drw(V0, V0, 1).exit();
    startUntilExit(first);
    EXPECT_NE(runtime->display(), nullptr);
    EXPECT_NE(chip8ScreenRows(m).find('#'), std::string::npos);

    startUntilExit(Chip8Program().loadFlags(V7).ld(V5, 0x55).exit());
    runtime->stop();
    EXPECT_TRUE(stopped());
    EXPECT_EQ(ints(m.pc, m.I, m.hiRes, m.V[5]), ints(0x204, 0, 0, 0x55));
    EXPECT_EQ(std::count(m.V.begin(), m.V.end(), 0), 15);
    EXPECT_EQ(chip8ScreenRows(m).find('#'), std::string::npos);

    startRom((folder.path() / "missing.ch8").string());
    EXPECT_TRUE(console().ends_with("QUIT Opcode\nError: Rom not found!\n"));
    EXPECT_TRUE(stopped());
    EXPECT_EQ(m.V[5], 0x55) << "registers are not reset";
}

// A program that draws, scrolls and logs without pause keeps the render mutex busy while
// "tRender" converts the screen; stopping must end the interpreter before the display
// and its worker go away.
TEST_F(Chip8StartStopTest, StopsCleanlyWhileDrawingAndPresenting) {
    Chip8Program p;
    p.ldi(0).drw(V0, V1, 5).add(V0, 3).scr().scd(3).drw(V0, V1, 0).high().jp(0x202);
    for (int round = 0; round < 3; ++round) {
        startRom(folder.write("draw.ch8", p.bytes()));
        const std::uint64_t frames = sink.framesShown() + 3;
        // Each draw waits for a render step, so this is some 200 frames.
        const std::uint64_t instructions = chip8InstructionsExecuted(m) + 600;
        EXPECT_TRUE(waitUntil([&] {
            return sink.framesShown() >= frames && chip8InstructionsExecuted(m) >= instructions;
        }));
        runtime->stop();
        EXPECT_TRUE(stopped());
    }
}
// "tExecute" stops before "tRender", whose stop callback frees the display: a display
// put in place of the real one notes at that moment whether "tExecute" is gone.
TEST_F(Chip8StartStopTest, StopEndsTheInterpreterBeforeTheRenderWorker) {
    struct Witness final : MachineDisplay {
        Witness(bool& executeGone, const Chip8Runtime& runtime)
            : executeGone(executeGone), runtime(runtime) {}
        ~Witness() override { executeGone = !runtime.running(); }
        void convert() override {}
        void present() override {}
        bool& executeGone;
        const Chip8Runtime& runtime;
    };
    bool executeGone = false;
    startRom(folder.write("loop.ch8", Chip8Program().jp(0x200).bytes()));
    ASSERT_TRUE(runtime->running() && m.renderWorker != nullptr);
    lockFromOutside(m.renderWorker);
    runtime->display() = std::make_unique<Witness>(executeGone, *runtime);
    unlockFromOutside(m.renderWorker);
    runtime->stop();
    EXPECT_TRUE(executeGone);
}
} // namespace
