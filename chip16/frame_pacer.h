#pragma once
// Holds the Chip-16 run loop to 60 frames a second of real time.

#include <cstdint>

constexpr std::uint64_t framePeriodNanoseconds = 16'639'488;

// Returns once at least one frame period has passed since its previous return in this
// process (the first call of the process waits a full period). Lateness is not made
// up: the next period counts from this return. Returns early, as soon as the worker it
// runs on is being stopped.
void FramePacer();
