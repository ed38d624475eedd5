#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <limits>
#include <thread>

std::uint64_t clockFrequency = 0;
std::uint64_t clockStart = 0;

namespace {
constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;

std::atomic<bool> manualClockOn{false};
std::atomic<std::uint64_t> manualCounter{0};

// CLOCK_MONOTONIC, the clock an absolute sleep can wait on.
std::uint64_t readMonotonicClock() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * nanosecondsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec);
}
} // namespace

void initClock() {
    clockFrequency = nanosecondsPerSecond;
    clockStart = readPerformanceCounter();
}

std::uint64_t readPerformanceCounter() {
    if (manualClockOn.load(std::memory_order_relaxed)) {
        return manualCounter.load(std::memory_order_relaxed);
    }
    return readMonotonicClock();
}

std::uint64_t countsToNanoseconds(std::uint64_t counts, std::uint64_t frequency) {
    if (frequency == 0) {
        return 0;
    }
    if (frequency == nanosecondsPerSecond) {
        return counts;
    }
    // Whole seconds and the remainder separately, so the product never overflows.
    const std::uint64_t seconds = counts / frequency;
    const std::uint64_t rest = counts % frequency;
    return seconds * nanosecondsPerSecond +
           static_cast<std::uint64_t>(static_cast<unsigned __int128>(rest) * nanosecondsPerSecond /
                                      frequency);
}

std::uint64_t elapsedNanoseconds() {
    return countsToNanoseconds(readPerformanceCounter() - clockStart, clockFrequency);
}

void sleepNanoseconds(std::uint64_t ns) {
    if (manualClockOn.load(std::memory_order_relaxed)) {
        manualCounter.fetch_add(ns, std::memory_order_relaxed);
        std::this_thread::yield();
        return;
    }
    if (ns == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

void sleepUntilCounter(std::uint64_t deadline) {
    if (manualClockOn.load(std::memory_order_relaxed)) {
        std::uint64_t now = manualCounter.load(std::memory_order_relaxed);
        while (now < deadline &&
               !manualCounter.compare_exchange_weak(now, deadline, std::memory_order_relaxed)) {
        }
        std::this_thread::yield();
        return;
    }
    // An absolute sleep on the counter's own clock ends at the deadline itself, however
    // long the thread took to start it.
    const timespec until{static_cast<std::time_t>(deadline / nanosecondsPerSecond),
                         static_cast<long>(deadline % nanosecondsPerSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void raiseWakeSignal(WakeSignal& signal) {
    {
        std::lock_guard lock(signal.mutex);
        signal.raised = true;
    }
    signal.raisedChanged.notify_all();
}

void sleepUntilCounterOrSignal(std::uint64_t deadline, WakeSignal& signal) {
    if (manualClockOn.load(std::memory_order_relaxed)) {
        sleepUntilCounter(deadline);
        return;
    }
    // The steady clock is CLOCK_MONOTONIC, the counter's own clock, and the wait on it
    // is absolute: it ends at the deadline however long the thread took to start it.
    using std::chrono::nanoseconds;
    const std::chrono::steady_clock::time_point until{nanoseconds{static_cast<nanoseconds::rep>(
        std::min<std::uint64_t>(deadline, std::numeric_limits<nanoseconds::rep>::max()))}};
    std::unique_lock lock(signal.mutex);
    signal.raisedChanged.wait_until(lock, until, [&signal] { return signal.raised; });
}

void sleepMilliseconds(std::uint32_t ms) {
    sleepNanoseconds(std::uint64_t{ms} * 1'000'000);
}

void useManualClock(std::uint64_t startCounter) {
    manualCounter.store(startCounter, std::memory_order_relaxed);
    manualClockOn.store(true, std::memory_order_relaxed);
}

void advanceManualClock(std::uint64_t ns) {
    manualCounter.fetch_add(ns, std::memory_order_relaxed);
}

void useRealClock() {
    manualClockOn.store(false, std::memory_order_relaxed);
}
