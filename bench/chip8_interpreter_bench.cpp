// The interpreter's instruction rate on programs without draws.

#include "app/chip8_start_stop.h"
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

// Register arithmetic, skips, a call and jumps: the mix of a game's logic between draws.
std::vector<std::uint8_t> aluProgram() {
    Chip8Program p;
    const auto loop = p.label();
    const auto helper = p.label();
    p.ld(V0, 0).ld(V1, 3).ld(V2, 0x55).ld(V3, 1);
    p.bind(loop)
        .add(V0, 1)
        .add(V1, V0)
        .xor_(V2, V1)
        .sub(V4, V3)
        .shr(V5, V5)
        .se(V0, 0x80)
        .ld(V6, V2)
        .sne(V1, V2)
        .add(V7, 7)
        .call(helper)
        .jp(loop);
    p.bind(helper).and_(V6, V3).or_(V7, V6).shl(V6, V6).ret();
    return p.bytes();
}

void BM_Chip8AluBatch(benchmark::State& state) {
    loadProgram(aluProgram());
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
    loadProgram(aluProgram());
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
