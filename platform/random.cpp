#include "platform/random.h"

#include "platform/clock.h"

RandomState seededRandom(std::uint32_t seed) {
    return RandomState{seed, true};
}

std::uint16_t nextRandom15(RandomState& state) {
    // The classic linear congruential generator of C runtimes with a 15-bit rand().
    state.value = state.value * 214013u + 2531011u;
    return static_cast<std::uint16_t>((state.value >> 16) & 0x7FFF);
}

std::uint16_t drawSeededRandom(RandomState& state) {
    if (!state.seeded) {
        state = seededRandom(static_cast<std::uint32_t>(readPerformanceCounter()));
    }
    return nextRandom15(state);
}
