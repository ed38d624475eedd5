#pragma once
// The 60 Hz delay and sound timers, brought up to date once per instruction.

#include <cstdint>

// A timer steps when at least this much has passed since its last step.
constexpr std::uint64_t chip8TimerPeriodNanoseconds = 16'666'667;

// One timer against `now` (nanoseconds since program start). The first look at a
// running timer only starts its timing; after that it steps by one at most per call,
// measured from the previous step, and forgets its timing when it reaches 0.
inline void updateChip8Timer(std::uint8_t& timer, std::uint64_t& lastTick, std::uint64_t now) {
    if (timer == 0) {
        return;
    }
    if (lastTick == 0) {
        lastTick = now;
    } else if (now - lastTick >= chip8TimerPeriodNanoseconds) {
        --timer;
        lastTick = timer == 0 ? 0 : now;
    }
}
