// Clearing and scrolling the CHIP-8 screen, beside the floors of moving the same bytes
// with memset and memmove, and the interpreter core stepped without the clock.

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/screen.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {
// The machine every benchmark here works on (too large for the stack).
Chip8Machine& benchMachine() {
    static const auto machine = std::make_unique<Chip8Machine>();
    return *machine;
}

Chip8Machine& fillScreen() {
    Chip8Machine& chip8 = benchMachine();
    resetChip8Machine(chip8);
    for (std::size_t i = 0; i < chip8.screen.size(); ++i) {
        chip8.screen[i] = static_cast<std::uint8_t>(i * 7 % 4);
    }
    chip8.hiRes = 1;
    return chip8;
}

void BM_Chip8ScreenClear(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    for (auto _ : state) {
        clearChip8Screen(chip8);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenClear);

void BM_Chip8ScreenMemset(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    for (auto _ : state) {
        std::memset(chip8.screen.data(), 0, chip8.screen.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenMemset);

// 00C4: four rows down.
void BM_Chip8ScreenScrollDown(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    for (auto _ : state) {
        scrollChip8Down(chip8, 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenScrollDown);

// The floor for it: move the rest down four rows, zero the top four.
void BM_Chip8ScreenMemmove(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    constexpr std::size_t gap = 4 * chip8ScreenWidth;
    for (auto _ : state) {
        std::memmove(chip8.screen.data() + gap, chip8.screen.data(), chip8.screen.size() - gap);
        std::memset(chip8.screen.data(), 0, gap);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenMemmove);

// 00FC: every row four cells left.
void BM_Chip8ScreenScrollLeft(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    for (auto _ : state) {
        scrollChip8Left(chip8);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenScrollLeft);

// The floor for it: each row moved four cells left, its last four zeroed.
void BM_Chip8ScreenRowMemmove(benchmark::State& state) {
    Chip8Machine& chip8 = fillScreen();
    for (auto _ : state) {
        for (std::size_t row = 0; row < chip8ScreenHeight; ++row) {
            std::uint8_t* const cells = chip8.screen.data() + row * chip8ScreenWidth;
            std::memmove(cells, cells + 4, chip8ScreenWidth - 4);
            std::memset(cells + chip8ScreenWidth - 4, 0, 4);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Chip8ScreenRowMemmove);
} // namespace
