#pragma once
// The host's performance counter, in nanoseconds, and sleeping.

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Counts per second of the performance counter (always 1,000,000,000 here) and its
// reading at program start; set once by initClock().
extern std::uint64_t clockFrequency;
extern std::uint64_t clockStart;

// Records clockFrequency and clockStart. The program and the tests both start with it.
void initClock();

std::uint64_t readPerformanceCounter();

// (counts * 1e9 / frequency) without overflowing for any 64-bit count.
std::uint64_t countsToNanoseconds(std::uint64_t counts, std::uint64_t frequency);

// Nanoseconds since clockStart.
std::uint64_t elapsedNanoseconds();

// Sleeps for ms milliseconds; 0 only yields the processor.
void sleepMilliseconds(std::uint32_t ms);
void sleepNanoseconds(std::uint64_t ns);
// Sleeps until readPerformanceCounter() reaches `deadline` (a reading of the counter),
// waking as soon after it as the system's timers allow; returns at once when the
// deadline has passed.
void sleepUntilCounter(std::uint64_t deadline);

// Lets another thread cut a sleep short; once raised it stays raised.
struct WakeSignal {
    std::mutex mutex;
    std::condition_variable raisedChanged;
    bool raised = false;
};
void raiseWakeSignal(WakeSignal& signal);
// As sleepUntilCounter, but returns as soon as `signal` is raised (at once when it is).
void sleepUntilCounterOrSignal(std::uint64_t deadline, WakeSignal& signal);

// A hand-driven clock for tests that need exact time: while it is on, the counter
// only moves by advanceManualClock() and by the sleeps, which advance it instead of
// waiting (a sleep until a deadline moves it to the deadline, unless it is already past).
void useManualClock(std::uint64_t startCounter);
void advanceManualClock(std::uint64_t ns);
void useRealClock();
