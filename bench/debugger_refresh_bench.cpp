// What an open debugger costs a running machine: the Debugger window takes one
// snapshot (Machine::view(), registers and all memory, under the worker's mutex) every
// 100 ms while the machine runs; everything else it does is on the GUI thread. Here a
// CHIP-8 machine of the machine's own rules runs an arithmetic loop on its workers for
// 2 s with and without those snapshots, and the instructions it ran per second are the
// figure.

#include "app/chip8_runtime.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tools/program_builders/chip8_program.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {
using namespace chip8reg;
constexpr auto runTime = std::chrono::seconds(2);
// The window's refresh interval while the machine runs.
constexpr auto refreshInterval = std::chrono::milliseconds(100);

void runWithSnapshots(benchmark::State& state, bool debuggerOpen) {
    initClock();
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    Chip8Program p;
    const auto loop = p.label();
    p.bind(loop).add(V0, 1).add(V1, V0).se(V1, 7).add(V2, 1).jp(loop);
    Chip8Runtime runtime(quorvixRules);
    std::uint64_t snapshots = 0;
    for (auto _ : state) {
        runtime.load(p.bytes());
        const auto start = std::chrono::steady_clock::now();
        runtime.start();
        while (std::chrono::steady_clock::now() - start < runTime) {
            std::this_thread::sleep_for(refreshInterval);
            if (debuggerOpen) {
                benchmark::DoNotOptimize(runtime.view());
                ++snapshots;
            }
        }
        runtime.stop();
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(wall.count());
        state.SetItemsProcessed(state.items_processed() +
                                static_cast<std::int64_t>(runtime.instructionsExecuted()));
    }
    state.counters["snapshots"] = static_cast<double>(snapshots);
    headless::setMainSurface(nullptr);
}

void BM_Chip8RunningDebuggerClosed(benchmark::State& state) {
    runWithSnapshots(state, false);
}
BENCHMARK(BM_Chip8RunningDebuggerClosed)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_Chip8RunningDebuggerOpen(benchmark::State& state) {
    runWithSnapshots(state, true);
}
BENCHMARK(BM_Chip8RunningDebuggerOpen)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
// One snapshot itself (64 KiB of XO-CHIP memory and the registers), with no worker to
// wait for: what the machine's worker is held for, besides handing its mutex over.
void BM_Chip8DebuggerSnapshot(benchmark::State& state) {
    Chip8Runtime runtime(chip8RulesFor(Chip8Variant::XoChip));
    runtime.load(Chip8Program().jp(0x200).bytes());
    for (auto _ : state) {
        benchmark::DoNotOptimize(runtime.view());
    }
}
BENCHMARK(BM_Chip8DebuggerSnapshot)->Unit(benchmark::kMicrosecond);
} // namespace
