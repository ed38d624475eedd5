// The interpreter's instruction rate on programs without draws.

#include "bench/chip8_bench_programs.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/clock.h"
#include "tools/program_builders/chip8_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {
using namespace chip8reg;

// The machine every benchmark here runs (too large for the stack).
Chip8Machine& benchMachine() {
    static const auto machine = std::make_unique<Chip8Machine>();
    return *machine;
}

Chip8Machine& loadProgram(const std::vector<std::uint8_t>& bytes) {
    initClock();
    Chip8Machine& chip8 = benchMachine();
    resetChip8Machine(chip8);
    chip8.memory.fill(0);
    std::copy(bytes.begin(), bytes.end(), chip8.memory.begin() + chip8ProgramStart);
    return chip8;
}

void BM_Chip8AluBatch(benchmark::State& state) {
    Chip8Machine& chip8 = loadProgram(chip8AluProgram());
    for (auto _ : state) {
        runChip8Batch(chip8);
    }
    benchmark::DoNotOptimize(chip8.V);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8AluBatch);

// The same program while the delay timer runs (kept running): the timers follow the
// clock, which the batch must read often enough that a step is never late by more than
// a microsecond.
void BM_Chip8AluBatchTimerRunning(benchmark::State& state) {
    Chip8Machine& chip8 = loadProgram(chip8AluProgram());
    for (auto _ : state) {
        if (chip8.delayTimer < 2) {
            chip8.delayTimer = 0xFF;
        }
        runChip8Batch(chip8);
    }
    benchmark::DoNotOptimize(chip8.V);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8AluBatchTimerRunning);

// The same program, the interpreter core stepped one instruction at a time without
// reading the clock: what the shipped batch above is measured against.
void BM_Chip8AluCore(benchmark::State& state) {
    Chip8Machine& chip8 = loadProgram(chip8AluProgram());
    for (auto _ : state) {
        for (int i = 0; i < chip8BatchIterations; ++i) {
            stepChip8(chip8, 0);
        }
    }
    benchmark::DoNotOptimize(chip8.V);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8AluCore);

// A running delay timer read back in a loop: the timer update does real work each
// iteration.
void BM_Chip8TimerLoop(benchmark::State& state) {
    Chip8Program p;
    const auto loop = p.label();
    p.ld(V0, 0xFF).setDelay(V0).bind(loop).getDelay(V1).se(V1, 0).jp(loop).jp(0x200);
    Chip8Machine& chip8 = loadProgram(p.bytes());
    for (auto _ : state) {
        runChip8Batch(chip8);
    }
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8TimerLoop);
} // namespace
