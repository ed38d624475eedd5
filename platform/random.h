#pragma once
// The random source of both machines' random instructions: a 15-bit generator
// (0 to 32767). Its state belongs to the machine, so a saved machine draws the same
// numbers again.

#include <cstdint>

struct RandomState {
    std::uint32_t value = 1;
    // False until the machine's first random instruction seeds it from the clock.
    bool seeded = false;

    bool operator==(const RandomState&) const = default;
};

// A generator that draws from `seed` without looking at the clock.
RandomState seededRandom(std::uint32_t seed);
std::uint16_t nextRandom15(RandomState& state);

// Seeds from the low 32 bits of the performance counter the first time, then draws.
std::uint16_t drawSeededRandom(RandomState& state);
