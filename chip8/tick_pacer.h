#pragma once
// Holds a paced CHIP-8 rule set to 60 ticks a second of real time.

#include <cstdint>

constexpr std::uint64_t chip8TickNanoseconds = 16'666'667;

// Returns when the tick after the one that started at `lastTickStart` (the performance
// counter in nanoseconds; 0 = no tick yet, and the first tick starts at once) is due, and
// moves `lastTickStart` to it. A tick that starts a little late does not delay the
// ones after it; one that starts a whole tick late starts the count afresh. Without
// `pacing` (a headless run at full speed) every tick starts at once.
void waitForChip8Tick(std::uint64_t& lastTickStart, bool pacing);
