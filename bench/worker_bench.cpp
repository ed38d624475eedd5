// The worker machinery: how long a thread waits for the mutex of a worker that steps in
// a loop, and what starting and stopping each machine costs.

#include "app/emulator_state.h"
#include "chip16/frame_pacer.h"
#include "chip16/start_stop.h"
#include "chip8/start_stop.h"
#include "display/frame_device.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "workers/worker_thread.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {
void emptyStep() {}

// About a CHIP-8 batch's worth of work (a few microseconds), without touching a machine.
void busyStep() {
    static volatile std::uint32_t sink = 0;
    for (std::uint32_t i = 0; i < 2000; ++i) {
        sink = sink * 33 + i;
    }
}

// lockFromOutside + unlockFromOutside on a worker that relocks as soon as it releases:
// the fair hand-over is what keeps this bounded by one step.
void handOver(benchmark::State& state, StepFunction step) {
    auto worker = std::make_unique<WorkerThread>();
    createWorker(*worker, "tBench", step);
    for (auto _ : state) {
        lockFromOutside(worker.get());
        unlockFromOutside(worker.get());
    }
    stopWorker(worker);
}

void BM_FairHandOverFromEmptySteps(benchmark::State& state) {
    handOver(state, emptyStep);
}
BENCHMARK(BM_FairHandOverFromEmptySteps)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_FairHandOverFromBusySteps(benchmark::State& state) {
    handOver(state, busyStep);
}
BENCHMARK(BM_FairHandOverFromBusySteps)->UseRealTime()->Unit(benchmark::kMicrosecond);

std::string writeRom(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Load, reset, create the display and the workers, run until the first frame has been
// shown, stop everything: a Load or Reset as the user sees it, minus the window. The
// surface does not wait for a display refresh, so the figure is the machinery's own.
template <typename Start, typename Stop>
void startAndStop(benchmark::State& state, MachineKind kind, const std::string& rom, Start start,
                  Stop stop) {
    initClock();
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(false);
    setFramePacingEnabled(false);
    EmulatorMode = kind;
    for (auto _ : state) {
        const std::uint64_t framesBefore = sink.framesShown();
        start(rom);
        while (sink.framesShown() == framesBefore) {
            std::this_thread::yield();
        }
        stop();
    }
    setFramePacingEnabled(true);
    setRefreshWaitEnabled(true);
    headless::setMainSurface(nullptr);
    std::remove(rom.c_str());
}

void BM_Chip8StartToFirstFrameAndStop(benchmark::State& state) {
    // 1200: jump to itself.
    startAndStop(state, MachineKind::Chip8, writeRom("quorvix-bench.ch8", {0x12, 0x00}), startChip8,
                 stopChip8);
}
BENCHMARK(BM_Chip8StartToFirstFrameAndStop)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Chip16StartToFirstFrameAndStop(benchmark::State& state) {
    // JMP 0x0000.
    startAndStop(state, MachineKind::Chip16,
                 writeRom("quorvix-bench.c16", {0x10, 0x00, 0x00, 0x00}), startChip16, stopChip16);
}
BENCHMARK(BM_Chip16StartToFirstFrameAndStop)->UseRealTime()->Unit(benchmark::kMillisecond);
} // namespace
