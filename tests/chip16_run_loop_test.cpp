#include "platform/clock.h"
#include "tests/chip16_test_support.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

using Chip16RunLoop = Chip16Frames;

// A frame is a sixtieth of a million instructions, 50000 / 3: counted from the start,
// boundary k follows instruction floor(50000 k / 3) + 1, so frames hold 16667, 16667
// and 16666 instructions in turn (the instruction after a boundary belongs to the next).
TEST_F(Chip16RunLoop, FramesHold16667Or16666InstructionsSixtyToTheMillion) {
    // Every word is ADDI R0, 1, so R0 counts instructions. Holding A keeps the controller
    // byte at 0x40, the ADDI opcode, so the word at 0xFFF0 stays one.
    Chip16Program program;
    for (int i = 0; i < 16384; ++i) {
        program.addi(0, 1);
    }
    m.keys.set(6, true); // A
    restart(program);
    runFrames(120);
    EXPECT_EQ(boundaries[0].r0, 16667) << "the first boundary follows the 16667th instruction";
    EXPECT_EQ(boundaries[59].r0, 1'000'001 % 0x10000) << "sixty frames, a million instructions";
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        EXPECT_EQ(boundaries[i].r0, (50'000 * (i + 1) / 3 + 1) % 0x10000) << "frame " << i;
    }
    EXPECT_EQ(chip16InstructionsExecuted(m) % 0x10000, m.R[0]);

    // ADDI and NOP in turn: every NOP takes its place in the count as well.
    Chip16Program halves;
    for (int i = 0; i < 16384; i += 2) {
        halves.addi(0, 1).nop();
    }
    restart(halves);
    runFrames(120);
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        EXPECT_EQ(boundaries[i].r0, (50'000 * (i + 1) / 3 + 2) / 2 % 0x10000) << "frame " << i;
    }
}

// The count is a double that gains 1.0 per instruction and loses 16666.666666666668 at a
// boundary; its roundings place the boundaries, and the run loop moves it many
// instructions at a time. That must give what one addition at a time gives, from any
// count the frames leave (which the run loop's frame test follows for 120 frames).
TEST(Chip16FrameCount, AdvancingManyAtOnceMatchesAddingOneAtATimeFromAnyCount) {
    std::mt19937_64 random(16);
    std::uniform_real_distribution<double> anyCount(0.0, 16667.7);
    // Counts on and just below binade edges, where an addition rounds, and the frame's end.
    std::vector<double> starts = {
        0.0,    0.25,           0.999999999999, 1.0,     1023.999999999,     2047.5,
        8191.7, 16383.99999999, 16384.0,        16665.9, 16666.666666666668, 16666.666666666664};
    for (int i = 0; i < 2000; ++i) {
        starts.push_back(anyCount(random));
    }
    for (const double start : starts) {
        const auto most = static_cast<std::uint32_t>(random() % 17'000);
        double expected = start;
        std::uint32_t added = 0;
        while (added < most && !(expected > 16666.666666666668)) {
            expected += 1.0;
            ++added;
        }
        double cycles = start;
        EXPECT_EQ(advanceChip16Cycles(cycles, most), added) << start << " " << most;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(cycles), std::bit_cast<std::uint64_t>(expected))
            << start << " " << most;
    }
}

// A count exactly at the frame's end is not past it: one more instruction runs before the
// boundary, in a single step as in a batch.
TEST_F(Chip16RunLoop, ACountExactlyAtTheFramesEndRunsOneMoreInstructionFirst) {
    Chip16Program program;
    for (int i = 0; i < 8; ++i) {
        program.addi(0, 1);
    }
    for (const bool singleSteps : {true, false}) {
        restart(program);
        m.cycles = 16666.666666666668;
        if (singleSteps) {
            ASSERT_TRUE(stepChip16Instruction(m));
            EXPECT_EQ(m.R[0], 1);
            EXPECT_EQ(boundaries.size(), 0u);
            ASSERT_TRUE(stepChip16Instruction(m)); // now past the end: the boundary
        } else {
            runFrames(1);
        }
        ASSERT_EQ(boundaries.size(), 1u);
        EXPECT_EQ(boundaries[0].r0, 1) << (singleSteps ? "single steps" : "a batch");
    }
}

TEST_F(Chip16RunLoop, VblnkPassesOncePerFrameAndTheControllerByteLeavesItsNeighboursAlone) {
    // Up, Down, Left, Right, Select, Start, A, B: bits 0 to 7.
    for (unsigned bit = 0; bit < 8; ++bit) {
        m.keys.set(bit, true);
        EXPECT_EQ(sampleChip16Controller(m), 1 << bit) << "button " << bit;
        m.keys.set(bit, false);
    }
    // The program stores 0x5555 over 0xFFF0-0xFFF3 once, then counts VBLNKs passed in R1;
    // Up and B are held.
    m.keys.set(0, true); // Up
    m.keys.set(7, true); // B
    restart(
        Chip16Program().ldi(2, 0x5555).stm(2, 0xFFF0).stm(2, 0xFFF2).vblnk().addi(1, 1).jmp(12));
    runFrames(30);
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        EXPECT_EQ(boundaries[i].r1, i);
        EXPECT_EQ(boundaries[i].vblank, 0);
    }
    EXPECT_EQ(readChip16Word(m, 0xFFF0), 0x5581);
    EXPECT_EQ(readChip16Word(m, 0xFFF2), 0x5555);
}

TEST(Chip16FramePacer, SleepsUntilAPeriodHasPassedSinceItsLastReturn) {
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

    // The period is 16 639 488 ns. The pacer sleeps until the period ends; with the
    // hand-driven clock the sleep moves the clock, so whatever remains, the pacer returns
    // exactly at the period with nobody else moving the clock.
    for (const std::uint64_t remaining : {16'639'488, 4'000'001, 4'000'000, 1}) {
        const std::uint64_t start = readPerformanceCounter();
        advanceManualClock(16'639'488 - remaining);
        pace();
        pacer.join();
        EXPECT_EQ(returnedAt, start + 16'639'488) << remaining;
        EXPECT_EQ(readPerformanceCounter(), start + 16'639'488) << remaining;
        returnedAt = 0;
    }
    useRealClock();

    // On the real clock the sleep to the deadline never wakes before it.
    FramePacer();
    const std::uint64_t before = readPerformanceCounter();
    FramePacer();
    EXPECT_GE(readPerformanceCounter() - before, 16'639'488u);
}
