#pragma once
// The random source of both machines' random instructions: a 15-bit generator
// (0 to 32767) with one state per thread, seeded on a thread's first use.

#include <cstdint>

// False on every new thread until its first random instruction seeds the generator.
extern thread_local bool randomSeeded;

void seedRandom(std::uint32_t seed);
std::uint16_t nextRandom15();

// Seeds from the low 32 bits of the performance counter the first time a thread
// asks, then draws.
std::uint16_t drawSeededRandom();
