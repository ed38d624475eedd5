#include "chip16/run_loop.h"

#include "chip16/frame_pacer.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "tests/chip16_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
// Runs a program on the process's machine with a display that notes R0, R1 and the
// vertical-blank flag at each frame boundary.
class Chip16RunLoop : public ::testing::Test {
  protected:
    struct Boundary {
        std::uint16_t r0, r1;
        std::uint8_t vblank;
    };
    struct Recorder final : Displayc16 {
        explicit Recorder(std::vector<Boundary>& seen) : seen(seen) {}
        void convert() override { seen.push_back({chip16.R[0], chip16.R[1], chip16.vblank}); }
        void present() override {}
        std::vector<Boundary>& seen;
    };
    void TearDown() override {
        chip16.display.reset();
        setFramePacingEnabled(true);
        releaseAllKeys();
    }
    void run(const Chip16Program& program, std::size_t frames) {
        setFramePacingEnabled(false);
        chip16.memory.fill(0);
        std::copy(program.image().begin(), program.image().end(), chip16.memory.begin());
        chip16.startAddress = 0;
        resetChip16(chip16);
        chip16.display = std::make_unique<Recorder>(boundaries);
        while (boundaries.size() < frames) {
            runChip16Batch();
        }
    }
    std::vector<Boundary> boundaries;
};
} // namespace

TEST_F(Chip16RunLoop, FramesHold16666Or16667InstructionsAveraging60PerMillion) {
    // Every word is ADDI R0, 1, so R0 counts instructions. Holding A keeps the controller
    // byte at 0x40, the ADDI opcode, so the word at 0xFFF0 stays one.
    Chip16Program program;
    for (int i = 0; i < 16384; ++i) {
        program.addi(0, 1);
    }
    setKeyDown(0x43, true);
    run(program, 120);
    EXPECT_EQ(boundaries[0].r0, 16667) << "the first boundary follows the 16667th instruction";
    std::uint64_t total = boundaries[0].r0;
    for (std::size_t i = 1; i < boundaries.size(); ++i) {
        const auto length = static_cast<std::uint16_t>(boundaries[i].r0 - boundaries[i - 1].r0);
        EXPECT_TRUE(length == 16666 || length == 16667) << "frame " << i << ": " << length;
        total += length;
        if (i == 59) {
            EXPECT_NEAR(double(total), 1'000'000.0, 2.0);
        }
    }
    EXPECT_EQ(chip16InstructionsExecuted(chip16) % 0x10000, chip16.R[0]);
}

TEST_F(Chip16RunLoop, VblnkPassesOncePerFrame) {
    Chip16Program program;
    program.vblnk().addi(1, 1).jmp(0);
    run(program, 30);
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        EXPECT_EQ(boundaries[i].r1, i);
        EXPECT_EQ(boundaries[i].vblank, 0);
    }
}

TEST_F(Chip16RunLoop, ControllerByteAtEachBoundaryLeavesItsNeighboursAlone) {
    const std::pair<int, std::uint8_t> buttons[] = {{0x26, 0x01}, {0x28, 0x02}, {0x25, 0x04},
                                                    {0x27, 0x08}, {0x58, 0x10}, {0x5A, 0x20},
                                                    {0x43, 0x40}, {0x56, 0x80}};
    for (const auto& [key, mask] : buttons) {
        setKeyDown(key, true);
        EXPECT_EQ(sampleChip16Controller(), mask) << "key " << key;
        setKeyDown(key, false);
    }
    // The program stores 0x5555 over 0xFFF0-0xFFF3 once, then waits in VBLNK.
    Chip16Program program;
    program.ldi(2, 0x5555).stm(2, 0xFFF0).stm(2, 0xFFF2).vblnk().jmp(12);
    setKeyDown(0x26, true); // Up
    setKeyDown(0x56, true); // V: B
    run(program, 2);
    EXPECT_EQ(readChip16Word(chip16, 0xFFF0), 0x5581);
    EXPECT_EQ(readChip16Word(chip16, 0xFFF2), 0x5555);
}

TEST(Chip16FramePacer, SleepsThenYieldsUntilAPeriodHasPassedSinceItsLastReturn) {
    initClock();
    useManualClock(1'000'000'000'000);
    // The pacer runs on a thread of its own; `finish` moves the hand-driven clock on in
    // steps until it has returned and gives the counter at its return.
    std::atomic<std::uint64_t> returnedAt{0};
    const auto pace = [&] {
        return std::thread([&] {
            FramePacer();
            returnedAt = readPerformanceCounter();
        });
    };
    const auto finish = [&](std::thread& pacer, std::uint64_t stepNs) {
        while (returnedAt == 0) {
            advanceManualClock(stepNs);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        pacer.join();
        return returnedAt.exchange(0);
    };
    // The counter once the pacer's own 1 ms sleeps have brought it to `target`, after a
    // pause in which a pacer that only yields leaves it alone (gives up after 10 s).
    const auto counterAfterSleepsTo = [](std::uint64_t target) {
        for (int i = 0; i < 100'000 && readPerformanceCounter() < target; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return readPerformanceCounter();
    };
    std::thread first = pace();
    const std::uint64_t tick = finish(first, 100'000); // a known last return

    // Right after a return: 1 ms sleeps while more than 1.75 ms remain (15 of them),
    // then yields until the period is complete.
    std::thread second = pace();
    EXPECT_EQ(counterAfterSleepsTo(tick + 15'000'000), tick + 15'000'000);
    advanceManualClock(framePeriodNanoseconds - 15'000'000 - 1);
    EXPECT_EQ(returnedAt, 0u) << "one nanosecond short of the period";
    const std::uint64_t returned = finish(second, 1);
    EXPECT_GE(returned, tick + framePeriodNanoseconds);
    EXPECT_LT(returned, tick + framePeriodNanoseconds + 1'000);

    // Late: returns at once without sleeping, and the next period counts from then.
    advanceManualClock(40'000'000);
    const std::uint64_t late = readPerformanceCounter();
    FramePacer();
    EXPECT_EQ(readPerformanceCounter(), late);
    std::thread third = pace();
    EXPECT_EQ(counterAfterSleepsTo(late + 15'000'000), late + 15'000'000);
    EXPECT_GE(finish(third, 1'000), late + framePeriodNanoseconds);
    useRealClock();
}
