// The Chip-16 executor's instruction rate and the display's conversion time.

#include "bench/chip16_bench_programs.h"
#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "chip16/run_loop.h"
#include "display/chip16_display.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "tools/program_builders/chip16_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {
// The machine every benchmark here runs (too large for the stack).
Chip16Machine& benchMachine() {
    static const auto machine = std::make_unique<Chip16Machine>();
    return *machine;
}

Chip16Machine& loadProgram(const Chip16Program& program, bool extendedInstructions = false) {
    initClock();
    Chip16Machine& chip16 = benchMachine();
    chip16.framePacing = false;
    chip16.display = nullptr;
    chip16.memory.fill(0);
    std::copy(program.image().begin(), program.image().end(), chip16.memory.begin());
    chip16.startAddress = 0;
    chip16.extendedInstructions = extendedInstructions;
    resetChip16(chip16);
    return chip16;
}

Chip16Program mixedProgram(bool withSprite) {
    return mixedChip16Program(withSprite);
}

void runBatches(benchmark::State& state, Chip16Machine& chip16) {
    const std::uint64_t before = chip16InstructionsExecuted(chip16);
    for (auto _ : state) {
        runChip16Batch(chip16);
    }
    const std::uint64_t instructions = chip16InstructionsExecuted(chip16) - before;
    state.SetItemsProcessed(static_cast<std::int64_t>(instructions));
    state.counters["Minstr/s"] =
        benchmark::Counter(static_cast<double>(instructions) / 1e6, benchmark::Counter::kIsRate);
}

// The executor alone: no display, no pacing; frame boundaries only write the
// controller byte.
void BM_Chip16ExecutorMixed(benchmark::State& state) {
    runBatches(state, loadProgram(mixedProgram(false)));
}
BENCHMARK(BM_Chip16ExecutorMixed);

void BM_Chip16ExecutorMixedWithSprites(benchmark::State& state) {
    runBatches(state, loadProgram(mixedProgram(true)));
}
BENCHMARK(BM_Chip16ExecutorMixedWithSprites);

// Narrow sprites in every flip, the draws most of the time (see its floor).
void BM_Chip16ExecutorNarrowSprites(benchmark::State& state) {
    runBatches(state, loadProgram(narrowSpritesChip16Program()));
}
BENCHMARK(BM_Chip16ExecutorNarrowSprites);

// The mixed program with the later instructions on and a MOD, NEG and NOT in the loop:
// the common opcodes' path is the same with the set on.
void BM_Chip16ExecutorMixedExtended(benchmark::State& state) {
    Chip16Program p = mixedProgram(false);
    p.at(0x0500).raw(0xA4, 0x21).raw(0xE4, 0x03).raw(0xE1, 0x04).jmp(0x0010); // MOD, NEG, NOT
    p.at(0x0010 + 20 * 4).jmp(0x0500); // the loop's closing JMP goes through them
    runBatches(state, loadProgram(p, true));
}
BENCHMARK(BM_Chip16ExecutorMixedExtended);

void randomScreen(Chip16Machine& m) {
    std::mt19937 random(5);
    for (auto& pixel : m.screen) {
        pixel = static_cast<std::uint8_t>(random() % 16);
    }
    m.backgroundColour = 9;
}

// The whole 960 x 720 picture, written into rows with room to spare after each.
void BM_Chip16ConvertPicture(benchmark::State& state) {
    auto m = std::make_unique<Chip16Machine>();
    randomScreen(*m);
    constexpr std::size_t stride = 960 + 16;
    std::vector<std::uint32_t> texels(720 * stride);
    const PixelRows rows{texels.data(), stride};
    for (auto _ : state) {
        convertChip16Screen(*m, rows);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(texels.data());
}
BENCHMARK(BM_Chip16ConvertPicture)->Unit(benchmark::kMillisecond);

// The display's convert into its own picture, for the headless frame sink. The
// background changes every frame, so every row is converted again (a display skips the
// rows that did not change).
void BM_Chip16DisplayConvert(benchmark::State& state) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    Chip16Machine& chip16 = benchMachine();
    randomScreen(chip16);
    {
        Chip16Display display(chip16);
        for (auto _ : state) {
            chip16.backgroundColour ^= 1;
            display.convert();
            benchmark::ClobberMemory();
        }
    }
    headless::setMainSurface(nullptr);
}
BENCHMARK(BM_Chip16DisplayConvert)->Unit(benchmark::kMillisecond);

// One frame's display work as the run loop does it: convert, then present without the
// refresh wait.
void BM_Chip16DisplayConvertAndPresent(benchmark::State& state) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(false);
    Chip16Machine& chip16 = benchMachine();
    randomScreen(chip16);
    {
        Chip16Display display(chip16);
        for (auto _ : state) {
            display.convert();
            display.present();
        }
    }
    setRefreshWaitEnabled(true);
    headless::setMainSurface(nullptr);
}
BENCHMARK(BM_Chip16DisplayConvertAndPresent)->Unit(benchmark::kMillisecond);
} // namespace
