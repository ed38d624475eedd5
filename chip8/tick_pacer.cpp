#include "chip8/tick_pacer.h"

#include "platform/clock.h"

namespace {
// The counter in nanoseconds. A clock that was never initialised has no frequency; its
// counter still runs in nanoseconds, and a wait on it must end all the same.
std::uint64_t nowNanoseconds() {
    return countsToNanoseconds(readPerformanceCounter(),
                               clockFrequency != 0 ? clockFrequency : 1'000'000'000);
}
} // namespace

void waitForChip8Tick(std::uint64_t& lastTickStart, bool pacing) {
    std::uint64_t now = nowNanoseconds();
    if (lastTickStart == 0 || !pacing) {
        // 0 means "no tick yet", so a tick at the counter's very start counts as 1 ns.
        lastTickStart = now != 0 ? now : 1;
        return;
    }
    const std::uint64_t due = lastTickStart + chip8TickNanoseconds;
    while (now < due) {
        sleepNanoseconds(due - now);
        now = nowNanoseconds();
    }
    // A sleep that overshoots a little is made up by the next tick; a tick a whole
    // period late (the host was busy) starts the count afresh instead of racing.
    lastTickStart = now - due < chip8TickNanoseconds ? due : now;
}
