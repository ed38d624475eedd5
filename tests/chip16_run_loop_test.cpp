#include "chip16/run_loop.h"

#include "chip16/frame_pacer.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "tests/chip16_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
// Stands in for the display: notes what the machine looks like at each frame boundary.
class RecordingDisplay final : public Displayc16 {
  public:
    struct Frame {
        std::uint16_t r0, r1;
        std::uint8_t vblank;
        std::uint8_t controller;
    };
    explicit RecordingDisplay(std::vector<Frame>& frames) : frames_(frames) {}
    void convert() override {
        frames_.push_back(
            {chip16.R[0], chip16.R[1], chip16.vblank, chip16.memory[chip16ControllerAddress]});
    }
    void present() override {}

  private:
    std::vector<Frame>& frames_;
};

class Chip16RunLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        setFramePacingEnabled(false);
        releaseAllKeys();
    }
    void TearDown() override {
        chip16.display.reset();
        setFramePacingEnabled(true);
        releaseAllKeys();
    }

    void load(const Chip16Program& program) {
        chip16.memory.fill(0);
        std::copy(program.image().begin(), program.image().end(), chip16.memory.begin());
        chip16.startAddress = 0;
        resetChip16(chip16);
        chip16.display = std::make_unique<RecordingDisplay>(frames);
    }

    void runUntilFrames(std::size_t count) {
        while (frames.size() < count) {
            runChip16Batch();
        }
    }

    std::vector<RecordingDisplay::Frame> frames;
};
} // namespace

TEST_F(Chip16RunLoop, FramesHold16666Or16667InstructionsAveraging60PerMillion) {
    // Every word in memory is ADDI R0, 1, so R0 counts instructions (modulo 65536).
    Chip16Program program;
    for (int i = 0; i < 16384; ++i) {
        program.addi(0, 1);
    }
    load(program);
    // Holding A keeps the controller byte at 0x40, the ADDI opcode, so the word at 0xFFF0
    // stays an ADDI R0, 1 when the boundary writes it.
    setKeyDown(0x43, true);
    runUntilFrames(120);

    EXPECT_EQ(frames[0].r0, 16667) << "the first boundary follows the 16667th instruction";
    std::uint64_t total = frames[0].r0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const auto length = static_cast<std::uint16_t>(frames[i].r0 - frames[i - 1].r0);
        EXPECT_TRUE(length == 16666 || length == 16667) << "frame " << i << ": " << length;
        total += length;
        if (i == 59) {
            EXPECT_NEAR(static_cast<double>(total), 1'000'000.0, 2.0);
        }
    }
    EXPECT_NEAR(static_cast<double>(total), 2'000'000.0, 2.0);
    EXPECT_EQ(chip16.framesCompleted, 120u);
    EXPECT_EQ(chip16InstructionsExecuted(chip16) % 0x10000, chip16.R[0]);
}

TEST_F(Chip16RunLoop, VblnkPassesOncePerFrameAndTheFlagIsDownOtherwise) {
    Chip16Program program;
    program.vblnk().addi(1, 1).jmp(0);
    load(program);
    runUntilFrames(30);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].r1, i) << "the loop ran once per passed frame";
        EXPECT_EQ(frames[i].vblank, 0);
    }
    EXPECT_EQ(chip16.vblank, 0);
}

TEST_F(Chip16RunLoop, ControllerByteIsWrittenAtEachBoundaryAndItsNeighboursAreLeftAlone) {
    // The program keeps storing 0x5555 over the controller bytes 0xFFF0 and 0xFFF1.
    Chip16Program program;
    program.ldi(2, 0x5555).stm(2, 0xFFF0).jmp(4);
    load(program);
    chip16.memory[0xFFF2] = 0x77;
    setKeyDown(0x26, true); // Up
    setKeyDown(0x56, true); // V: B
    runUntilFrames(1);
    EXPECT_EQ(frames[0].controller, 0x55) << "sampled after the convert";
    EXPECT_EQ(chip16.memory[0xFFF0], 0x55) << "overwritten by the program since";

    // Stop the program right at the next boundary: the vblank instruction is JMP to a
    // VBLNK loop that never stores.
    chip16.memory.fill(0);
    Chip16Program waiting;
    waiting.vblnk().jmp(0);
    std::copy(waiting.image().begin(), waiting.image().end(), chip16.memory.begin());
    chip16.memory[0xFFF1] = 0x66;
    chip16.memory[0xFFF2] = 0x77;
    chip16.pc = 0;
    runUntilFrames(3);
    EXPECT_EQ(chip16.memory[0xFFF0], 0x81);
    EXPECT_EQ(chip16.memory[0xFFF1], 0x66);
    EXPECT_EQ(chip16.memory[0xFFF2], 0x77);
}

TEST(Chip16Controller, EachButtonHasItsBit) {
    const std::pair<int, std::uint8_t> buttons[] = {
        {0x26, 0x01}, {0x28, 0x02}, {0x25, 0x04}, {0x27, 0x08},
        {0x58, 0x10}, {0x5A, 0x20}, {0x43, 0x40}, {0x56, 0x80},
    };
    releaseAllKeys();
    EXPECT_EQ(sampleChip16Controller(), 0);
    for (const auto& [key, mask] : buttons) {
        setKeyDown(key, true);
        EXPECT_EQ(sampleChip16Controller(), mask) << "key 0x" << std::hex << key;
        setKeyDown(key, false);
    }
    for (const auto& [key, mask] : buttons) {
        setKeyDown(key, true);
    }
    EXPECT_EQ(sampleChip16Controller(), 0xFF);
    releaseAllKeys();
}

namespace {
// Runs FramePacer on another thread while this one moves the hand-driven clock on in
// steps of `stepNs` whenever the pacer is only yielding; returns the counter at which
// the pacer returned.
class PacerOnAThread {
  public:
    PacerOnAThread()
        : thread_([this] {
              FramePacer();
              returnedAt_ = readPerformanceCounter();
              done_ = true;
          }) {}
    ~PacerOnAThread() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool done() const { return done_; }
    std::uint64_t finish(std::uint64_t stepNs) {
        while (!done_) {
            advanceManualClock(stepNs);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        thread_.join();
        return returnedAt_;
    }

  private:
    std::atomic<bool> done_{false};
    std::uint64_t returnedAt_ = 0;
    std::thread thread_;
};

// The counter after the pacer has moved it to `target` by its own sleeps, and a pause
// in which a pacer that only yields would not move it further. Gives up after 10 s.
std::uint64_t counterAfterSleepsTo(std::uint64_t target) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (readPerformanceCounter() < target && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return readPerformanceCounter();
}
} // namespace

TEST(Chip16FramePacer, SleepsInMillisecondsThenYieldsUntilAFullPeriodHasPassed) {
    initClock();
    useManualClock(1'000'000'000'000);
    // Whatever the pacer did before in this process, one call brings it to a known tick.
    const std::uint64_t tick = PacerOnAThread().finish(100'000);

    // Called right after its return: 1 ms sleeps while more than 1.75 ms remain, which
    // leaves the counter 15 ms on; then only yields, which do not move it.
    PacerOnAThread pacer;
    EXPECT_EQ(counterAfterSleepsTo(tick + 15'000'000), tick + 15'000'000);
    EXPECT_FALSE(pacer.done());
    advanceManualClock(framePeriodNanoseconds - 15'000'000 - 1);
    EXPECT_FALSE(pacer.done()) << "one nanosecond short of the period";
    const std::uint64_t returned = pacer.finish(1);
    EXPECT_GE(returned, tick + framePeriodNanoseconds);
    EXPECT_LT(returned, tick + framePeriodNanoseconds + 1'000);

    // Called more than a period after its return: returns at once, without sleeping,
    // and the next period counts from now, not from the missed tick.
    advanceManualClock(40'000'000);
    const std::uint64_t late = readPerformanceCounter();
    FramePacer();
    EXPECT_EQ(readPerformanceCounter(), late);
    PacerOnAThread next;
    EXPECT_EQ(counterAfterSleepsTo(late + 15'000'000), late + 15'000'000);
    EXPECT_GE(next.finish(1'000), late + framePeriodNanoseconds);
    useRealClock();
}
