#include "platform/random.h"

#include "platform/clock.h"

thread_local bool randomSeeded = false;

namespace {
thread_local std::uint32_t randomState = 1;
}

void seedRandom(std::uint32_t seed) {
    randomState = seed;
}

std::uint16_t nextRandom15() {
    // The classic linear congruential generator of C runtimes with a 15-bit rand().
    randomState = randomState * 214013u + 2531011u;
    return static_cast<std::uint16_t>((randomState >> 16) & 0x7FFF);
}

std::uint16_t drawSeededRandom() {
    if (!randomSeeded) {
        randomSeeded = true;
        seedRandom(static_cast<std::uint32_t>(readPerformanceCounter()));
    }
    return nextRandom15();
}
