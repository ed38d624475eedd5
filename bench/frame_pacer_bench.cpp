// How late the Chip-16 frame pacer returns: it sleeps to the end of each frame period,
// so the time between two of its returns, less the period, is how late the system woke
// it. Reported as the median and 99th percentile over 240 frames (4 s), paced on a worker
// thread as the program paces.

#include "chip16/frame_pacer.h"
#include "platform/clock.h"
#include "workers/worker_thread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace {
constexpr int frames = 240;
std::vector<double> lateMicroseconds;
std::atomic<bool> measured{false};

// A worker's step, as in the program, where the pacer's sleep is one a stop can cut short.
void measureFrames() {
    if (measured) {
        sleepMilliseconds(1);
        return;
    }
    FramePacer(); // the first period may count from long ago
    std::uint64_t previous = readPerformanceCounter();
    for (int i = 0; i < frames; ++i) {
        FramePacer();
        const std::uint64_t now = readPerformanceCounter();
        const std::uint64_t period = countsToNanoseconds(now - previous, clockFrequency);
        lateMicroseconds.push_back(static_cast<double>(period - framePeriodNanoseconds) / 1e3);
        previous = now;
    }
    measured = true;
}

void BM_FramePacerDeadlineLateness(benchmark::State& state) {
    initClock();
    lateMicroseconds.clear();
    lateMicroseconds.reserve(frames);
    for (auto _ : state) {
        measured = false;
        std::unique_ptr<WorkerThread> worker = makeWorker("tExecute", measureFrames);
        while (!measured) {
            sleepMilliseconds(10);
        }
        stopWorker(worker);
    }
    std::sort(lateMicroseconds.begin(), lateMicroseconds.end());
    const auto at = [&](double quantile) {
        return lateMicroseconds[static_cast<std::size_t>(quantile * (lateMicroseconds.size() - 1))];
    };
    state.counters["median_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = lateMicroseconds.back();
}
BENCHMARK(BM_FramePacerDeadlineLateness)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace
