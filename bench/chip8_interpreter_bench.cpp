// The interpreter's instruction rate on programs without draws.

#include "app/chip8_start_stop.h"
#include "bench/chip8_bench_programs.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/clock.h"
#include "tools/program_builders/chip8_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {
using namespace chip8reg;

void loadProgram(const std::vector<std::uint8_t>& bytes) {
    initClock();
    resetChip8Machine(chip8);
    chip8.memory.fill(0);
    std::copy(bytes.begin(), bytes.end(), chip8.memory.begin() + chip8ProgramStart);
}

void BM_Chip8AluBatch(benchmark::State& state) {
    loadProgram(chip8AluProgram());
    for (auto _ : state) {
        runChip8Batch(chip8);
    }
    benchmark::DoNotOptimize(chip8.V);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8AluBatch);

// The same program, the interpreter core stepped one instruction at a time without
// reading the clock: what the shipped batch above is measured against.
void BM_Chip8AluCore(benchmark::State& state) {
    loadProgram(chip8AluProgram());
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
    loadProgram(p.bytes());
    for (auto _ : state) {
        runChip8Batch(chip8);
    }
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}
BENCHMARK(BM_Chip8TimerLoop);
} // namespace
