#include "chip16/frame_pacer.h"

#include "platform/clock.h"
#include "workers/worker_thread.h"

namespace {
// Kept for the whole process, not per machine: a new machine's first frame follows the
// previous machine's last one. Only the "tExecute" thread of the running machine uses it.
bool pacerStarted = false;
std::uint64_t lastTick = 0;
std::uint64_t frequency = 0;
} // namespace

void FramePacer() {
    if (!pacerStarted) {
        pacerStarted = true;
        lastTick = readPerformanceCounter();
        // A clock that was never initialised would make every wait endless.
        frequency = clockFrequency != 0 ? clockFrequency : 1'000'000'000;
    }
    for (;;) {
        const std::uint64_t now = readPerformanceCounter();
        const std::uint64_t elapsed = countsToNanoseconds(now - lastTick, frequency);
        if (elapsed >= framePeriodNanoseconds) {
            lastTick = now;
            return;
        }
        if (stepShouldEnd()) {
            return; // the machine is being stopped: no frame follows to be paced
        }
        // One sleep to the deadline itself, cut short by a stop: each wake-up costs the
        // processor more than the check it makes. Rounded up to a whole count so that
        // the period has passed on waking.
        const auto periodCounts = static_cast<std::uint64_t>(
            (static_cast<unsigned __int128>(framePeriodNanoseconds) * frequency + 999'999'999) /
            1'000'000'000);
        sleepUntilCounterUnlessStopping(lastTick + periodCounts);
    }
}
