// How CHIP-8 draws and render steps take turns on the "tRender" mutex, and how fast a
// stop reaches a step that draws on every instruction.

#include "chip8/tick_pacer.h"
#include "tests/chip8_test_machine.h"

#include <sched.h>

#include <thread>

namespace {
// Keeps the calling thread, and every thread it starts meanwhile, on the processor it
// runs on now.
class OneProcessor {
  public:
    OneProcessor() {
        sched_getaffinity(0, sizeof before_, &before_);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        pinned_ = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneProcessor() { sched_setaffinity(0, sizeof before_, &before_); }
    bool pinned() const { return pinned_; }

  private:
    cpu_set_t before_;
    bool pinned_ = false;
};

class Chip8PacingTest : public Chip8MachineTest {
  protected:
    struct Run {
        std::uint64_t instructions;
        std::uint64_t presents;
    };
    // Runs the ROM on its workers until `presents` frames were shown.
    Run runUntilPresented(const std::vector<std::uint8_t>& rom, std::uint64_t presents) {
        const std::uint64_t instructionsBefore = chip8InstructionsExecuted(m);
        const std::uint64_t shownBefore = sink.framesShown();
        startRom(folder.write("paced.ch8", rom));
        EXPECT_TRUE(waitUntil([&] { return sink.framesShown() >= shownBefore + presents; }));
        runtime->stop();
        return {chip8InstructionsExecuted(m) - instructionsBefore,
                sink.framesShown() - shownBefore};
    }
};

// With both workers and a busy thread on one processor, "tRender" is often pre-empted
// right after it lets a waiting draw in. It must already be queued again by then, or
// the program draws on and on while no frame is shown.
TEST_F(Chip8PacingTest, OneDrawPerRenderStepOnASingleBusyProcessor) {
    runtime->setFlickerFilter(true);
    sink.setRefreshPeriod(4'000'000);
    OneProcessor processor;
    ASSERT_TRUE(processor.pinned());
    // A thread that competes for the processor until the test ends.
    std::jthread busy([](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
        }
    });

    // 00E0 D015 1200: clear, draw, loop. Every frame is shown; one draw in three
    // instructions.
    const Run clearAndDraw = runUntilPresented({0x00, 0xE0, 0xD0, 0x15, 0x12, 0x00}, 40);
    EXPECT_LE(clearAndDraw.instructions / 3, 2 * clearAndDraw.presents + 2)
        << clearAndDraw.instructions << " instructions for " << clearAndDraw.presents << " frames";

    // 6000 6100 D015 D015 7001 1204: draw, erase, move. The filter skips the step after
    // each erase, so two draws go with each shown frame; two draws in four instructions.
    const Run drawEraseMove = runUntilPresented(
        {0x60, 0x00, 0x61, 0x00, 0xD0, 0x15, 0xD0, 0x15, 0x70, 0x01, 0x12, 0x04}, 40);
    EXPECT_LE(drawEraseMove.instructions / 2, 2 * drawEraseMove.presents + 4)
        << drawEraseMove.instructions << " instructions for " << drawEraseMove.presents
        << " frames";
}

// D015 1200 draws on every other instruction and each draw waits for a render step of
// 20 ms, so a whole batch of 1000 instructions would hold the stop for ten seconds.
TEST_F(Chip8PacingTest, AStopEndsADrawingBatchAtTheNextInstruction) {
    runtime->setFlickerFilter(false);
    sink.setRefreshPeriod(20'000'000);
    const Run run = runUntilPresented({0xD0, 0x15, 0x12, 0x00}, 3);
    EXPECT_LT(run.instructions, 1000u);
    EXPECT_TRUE(stopped());
}

// A paced tick holds the "tRender" mutex for all of its instructions, so its draws do
// not each wait for a render step: with ticks of 300 instructions run back to back, a
// loop that draws on every third instruction runs about 300 instructions per shown
// frame, where a draw per render step would allow 3.
TEST_F(Chip8PacingTest, APacedTickDrawsWithoutWaitingForRenderSteps) {
    runtime->setFlickerFilter(false);
    m.tickPacing = false;
    m.rules = chip8RulesFor(Chip8Variant::XoChip);
    m.rules.instructionsPerTick = 300;
    const Run run = runUntilPresented({0x00, 0xE0, 0xD0, 0x15, 0x12, 0x00}, 20);
    EXPECT_GE(run.instructions, 30 * run.presents)
        << run.instructions << " instructions for " << run.presents << " frames";
}
} // namespace
