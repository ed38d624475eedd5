#include "platform/clock.h"
#include "platform/random.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Clock, CountsConvertToNanosecondsWithoutOverflow) {
    constexpr std::uint64_t tenMegahertz = 10'000'000;
    // Ten years at 10 MHz: the naive counts * 1e9 would overflow 64 bits.
    const std::uint64_t tenYears = tenMegahertz * 3600 * 24 * 365 * 10;
    EXPECT_EQ(countsToNanoseconds(tenYears, tenMegahertz), tenYears * 100);
    EXPECT_EQ(countsToNanoseconds(3, 3'579'545), 838u); // sub-microsecond truncates
    EXPECT_EQ(countsToNanoseconds(~0ull, 1'000'000'000), ~0ull);
    EXPECT_EQ(countsToNanoseconds(5, 0), 0u);
}

TEST(Clock, TheManualClockMovesOnlyWhenToldOrSlept) {
    initClock();
    EXPECT_EQ(clockFrequency, 1'000'000'000u);
    useManualClock(clockStart + 1000);
    EXPECT_EQ(elapsedNanoseconds(), 1000u);
    advanceManualClock(16'666'667);
    EXPECT_EQ(elapsedNanoseconds(), 16'667'667u);
    sleepMilliseconds(2);
    sleepMilliseconds(0);
    EXPECT_EQ(elapsedNanoseconds(), 18'667'667u);
    useRealClock();
}

// The generator of C runtimes with a 15-bit rand(): state * 214013 + 2531011, the
// value bits 16-30. A machine's generator seeds itself at its first draw; equal seeds
// give equal sequences, whatever else draws in between.
TEST(Random, ValuesAreFifteenBitsAndAMachinesGeneratorIsItsOwn) {
    RandomState fresh;
    EXPECT_FALSE(fresh.seeded);
    EXPECT_LE(drawSeededRandom(fresh), 0x7FFF); // RND's tests check the range
    EXPECT_TRUE(fresh.seeded);

    RandomState one = seededRandom(1);
    EXPECT_EQ(nextRandom15(one), 41); // (214013 + 2531011) >> 16
    EXPECT_EQ(nextRandom15(one), 18467);

    RandomState first = seededRandom(1234);
    RandomState second = seededRandom(1234);
    RandomState other = seededRandom(99);
    for (int i = 0; i < 50; ++i) {
        nextRandom15(other);
        EXPECT_EQ(nextRandom15(first), nextRandom15(second));
    }
}
