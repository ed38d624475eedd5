// The worker machinery: how long a thread waits for the mutex of a worker that steps in
// a loop, and what starting and stopping each machine costs.

#include "app/machine_choices.h"
#include "chip16/frame_pacer.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "display/picture_display.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/rom_file.h"
#include "workers/worker_thread.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {
std::uint64_t nowNanoseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::atomic<bool> inStep{false};
std::atomic<std::uint64_t> lastStepEnd{0};

// The machine the hand-over benchmark's worker runs (too large for the stack).
Chip8Machine& handOverMachine() {
    static const auto machine = std::make_unique<Chip8Machine>();
    return *machine;
}

// A CHIP-8 batch as "tExecute" runs it, stamped with when it ended.
void timedChip8Step() {
    inStep = true;
    runChip8Batch(handOverMachine());
    lastStepEnd = nowNanoseconds();
    inStep = false;
}

// The GUI thread's lockFromOutside while "tExecute" steps in a loop: each turn asks for
// the mutex during a step and is timed from the end of the worker's latest step to the
// moment the mutex is ours. The fair hand-over keeps that from growing into a whole
// further step, however quickly the worker relocks.
void BM_FairHandOverFromChip8Worker(benchmark::State& state) {
    initClock();
    Chip8Machine& chip8 = handOverMachine();
    chip8.memory.fill(0);
    resetChip8Machine(chip8);
    chip8.memory[chip8ProgramStart] = 0x12; // 1200: jump to itself
    auto worker = std::make_unique<WorkerThread>();
    createWorker(*worker, "tExecute", timedChip8Step);
    std::vector<std::uint64_t> handOvers;
    for (auto _ : state) {
        while (!inStep) {
            std::this_thread::yield();
        }
        lockFromOutside(worker.get());
        const std::uint64_t acquired = nowNanoseconds();
        unlockFromOutside(worker.get());
        const std::uint64_t handOver = acquired - std::min(acquired, lastStepEnd.load());
        handOvers.push_back(handOver);
        state.SetIterationTime(static_cast<double>(handOver) * 1e-9);
    }
    stopWorker(worker);
    // A turn the scheduler delayed (another process on the core) weighs on the mean; the
    // median is the hand-over itself.
    std::sort(handOvers.begin(), handOvers.end());
    const auto percentile = [&](double p) {
        return static_cast<double>(handOvers[static_cast<std::size_t>(
                   p * static_cast<double>(handOvers.size() - 1))]) *
               1e-3;
    };
    state.counters["median_us"] = percentile(0.5);
    state.counters["p99_us"] = percentile(0.99);
}
// A fixed count: the hand-overs are short, so a time budget made of them alone would
// take minutes of real time to fill.
BENCHMARK(BM_FairHandOverFromChip8Worker)
    ->UseManualTime()
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);

std::string writeRom(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Read the file, load, reset, create the display and the workers, run until the first
// frame has been shown, stop everything: a Load or Reset as the user sees it, minus the
// window. The surface does not wait for a display refresh, so the figure is the
// machinery's own.
void startAndStop(benchmark::State& state, MachineKind kind, const std::string& rom) {
    initClock();
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(false);
    MachineChoices choices;
    choices.realTimePacing = false;
    const std::unique_ptr<Machine> machine = makeMachine(kind, choices);
    for (auto _ : state) {
        const std::uint64_t framesBefore = sink.framesShown();
        const auto image = readRomImage(rom);
        if (!image) {
            state.SkipWithError("the ROM file cannot be read");
            break;
        }
        machine->load(*image);
        machine->start();
        while (sink.framesShown() == framesBefore) {
            std::this_thread::yield();
        }
        machine->stop();
    }
    setRefreshWaitEnabled(true);
    headless::setMainSurface(nullptr);
    std::remove(rom.c_str());
}

void BM_Chip8StartToFirstFrameAndStop(benchmark::State& state) {
    // 1200: jump to itself.
    startAndStop(state, MachineKind::Chip8, writeRom("quorvix-bench.ch8", {0x12, 0x00}));
}
BENCHMARK(BM_Chip8StartToFirstFrameAndStop)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Chip16StartToFirstFrameAndStop(benchmark::State& state) {
    // JMP 0x0000.
    startAndStop(state, MachineKind::Chip16,
                 writeRom("quorvix-bench.c16", {0x10, 0x00, 0x00, 0x00}));
}
BENCHMARK(BM_Chip16StartToFirstFrameAndStop)->UseRealTime()->Unit(benchmark::kMillisecond);
} // namespace
