#include "platform/clock.h"
#include "tests/chip16_test_support.h"

#include <atomic>
#include <chrono>
#include <thread>

using Chip16RunLoop = Chip16Frames;

TEST_F(Chip16RunLoop, FramesHold16666Or16667InstructionsAveraging60PerMillion) {
    // Every word is ADDI R0, 1, so R0 counts instructions. Holding A keeps the controller
    // byte at 0x40, the ADDI opcode, so the word at 0xFFF0 stays one.
    Chip16Program program;
    for (int i = 0; i < 16384; ++i) {
        program.addi(0, 1);
    }
    setKeyDown(0x43, true);
    restart(program);
    runFrames(120);
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

TEST_F(Chip16RunLoop, VblnkPassesOncePerFrameAndTheControllerByteLeavesItsNeighboursAlone) {
    // Up, Down, Left, Right, Select, Start, A, B: bits 0 to 7.
    const int keys[8] = {0x26, 0x28, 0x25, 0x27, 0x58, 0x5A, 0x43, 0x56};
    for (int bit = 0; bit < 8; ++bit) {
        setKeyDown(keys[bit], true);
        EXPECT_EQ(sampleChip16Controller(), 1 << bit) << "key " << keys[bit];
        setKeyDown(keys[bit], false);
    }
    // The program stores 0x5555 over 0xFFF0-0xFFF3 once, then counts VBLNKs passed in R1;
    // Up and B are held.
    setKeyDown(0x26, true);
    setKeyDown(0x56, true);
    restart(
        Chip16Program().ldi(2, 0x5555).stm(2, 0xFFF0).stm(2, 0xFFF2).vblnk().addi(1, 1).jmp(12));
    runFrames(30);
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        EXPECT_EQ(boundaries[i].r1, i);
        EXPECT_EQ(boundaries[i].vblank, 0);
    }
    EXPECT_EQ(readChip16Word(chip16, 0xFFF0), 0x5581);
    EXPECT_EQ(readChip16Word(chip16, 0xFFF2), 0x5555);
}

TEST(Chip16FramePacer, SleepsThenYieldsUntilAPeriodHasPassedSinceItsLastReturn) {
    initClock();
    useManualClock(1'000'000'000'000);
    // The pacer runs on a thread of its own while this one drives the clock by hand.
    std::atomic<std::uint64_t> returnedAt{0};
    std::thread pacer;
    const auto pace = [&] {
        pacer = std::thread([&] {
            FramePacer();
            returnedAt = readPerformanceCounter();
        });
    };
    // Whatever the process's pacer did before, it has a last return after this.
    pace();
    while (returnedAt == 0) {
        advanceManualClock(100'000);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    pacer.join();
    returnedAt = 0;

    // Late: returns at once without sleeping, and the next period counts from then.
    advanceManualClock(40'000'000);
    const std::uint64_t tick = readPerformanceCounter();
    FramePacer();
    EXPECT_EQ(readPerformanceCounter(), tick);

    // The period is 16 639 488 ns. While more than 1.75 ms of it remain the pacer sleeps
    // 1 ms, then it only yields: with 1 750 001 ns left it sleeps once, with 1 750 000
    // not at all; the counter stays where the sleeps left it (the wait for it gives up
    // after 10 s). Only this thread moves the clock then, so the pacer returns exactly
    // at the period.
    for (const auto& [remaining, sleeps] : {std::pair{1'750'001, 1}, {1'750'000, 0}}) {
        const std::uint64_t start = readPerformanceCounter();
        const std::uint64_t slept = start + 16'639'488 - remaining + sleeps * 1'000'000;
        advanceManualClock(16'639'488 - remaining);
        pace();
        for (int i = 0; i < 100'000 && readPerformanceCounter() < slept; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(readPerformanceCounter(), slept) << remaining;
        advanceManualClock(start + 16'639'488 - slept - 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(returnedAt, 0u) << "one nanosecond short of the period";
        advanceManualClock(1);
        pacer.join();
        EXPECT_EQ(returnedAt, start + 16'639'488);
        returnedAt = 0;
    }
    useRealClock();
}
