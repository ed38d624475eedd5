#include "platform/clock.h"
#include "platform/random.h"

#include <gtest/gtest.h>

#include <thread>
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

TEST(Random, ValuesAreFifteenBitsAndEachThreadSeedsItsOwnGenerator) {
    EXPECT_FALSE(randomSeeded);
    EXPECT_LE(drawSeededRandom(), 0x7FFF); // RND's tests check the range
    EXPECT_TRUE(randomSeeded);

    // Equal seeds give equal sequences, and another thread's draws do not disturb ours.
    auto sequence = [] {
        seedRandom(1234);
        std::vector<std::uint16_t> values;
        for (int i = 0; i < 50; ++i) {
            values.push_back(nextRandom15());
        }
        return values;
    };
    std::vector<std::uint16_t> first;
    std::vector<std::uint16_t> second;
    bool seededOnNewThread = true;
    std::thread other([&] {
        seededOnNewThread = randomSeeded;
        second = sequence();
    });
    first = sequence();
    other.join();
    EXPECT_FALSE(seededOnNewThread);
    EXPECT_EQ(first, second);
}
