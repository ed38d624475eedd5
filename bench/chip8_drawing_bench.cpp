// The interpreter's instruction rate on programs that mostly draw: the time is in the
// sprite routine (low resolution, each pixel a 2 x 2 block of the buffer).

#include "bench/chip8_bench_programs.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/clock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {
void runDrawing(benchmark::State& state, const std::vector<std::uint8_t>& program) {
    initClock();
    const auto chip8 = std::make_unique<Chip8Machine>();
    resetChip8Machine(*chip8);
    loadChip8Rom(*chip8, program);
    for (auto _ : state) {
        runChip8Batch(*chip8);
    }
    benchmark::DoNotOptimize(chip8->screen);
    state.SetItemsProcessed(state.iterations() * chip8BatchIterations);
}

void BM_Chip8DrawDigits(benchmark::State& state) {
    runDrawing(state, chip8DigitsProgram());
}
BENCHMARK(BM_Chip8DrawDigits);

void BM_Chip8DrawLogo(benchmark::State& state) {
    runDrawing(state, chip8LogoProgram());
}
BENCHMARK(BM_Chip8DrawLogo);
} // namespace
