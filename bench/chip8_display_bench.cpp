// Drawing the CHIP-8 screen into the 512 x 256 picture.

#include "chip8/chip8_machine.h"
#include "display/chip8_display.h"
#include "platform/headless/headless_host.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {
constexpr std::uint32_t width = 512;
constexpr std::uint32_t height = 256;

// A machine whose screen is a checkerboard of `looks` cell values (2: plane 1 lit or
// not; 4: both planes), so no run of neighbouring cells is uniform.
std::unique_ptr<Chip8Machine> checkerboard(std::uint32_t looks) {
    auto chip8 = std::make_unique<Chip8Machine>();
    for (std::size_t i = 0; i < chip8->screen.size(); ++i) {
        chip8->screen[i] =
            static_cast<std::uint8_t>(((i % chip8ScreenWidth) + i / chip8ScreenWidth) % looks);
    }
    return chip8;
}

// The checkerboard drawn whole into a picture as the display keeps it.
void drawCheckerboard(benchmark::State& state, std::uint32_t looks) {
    const auto chip8 = checkerboard(looks);
    const std::unique_ptr<std::uint32_t, decltype(&std::free)> pixels(
        static_cast<std::uint32_t*>(std::aligned_alloc(64, std::size_t{width} * height * 4)),
        &std::free);
    const PixelRows rows{pixels.get(), width};
    for (auto _ : state) {
        drawChip8Screen(*chip8, rows);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Chip8ConvertFullScreen(benchmark::State& state) {
    drawCheckerboard(state, 2);
}
BENCHMARK(BM_Chip8ConvertFullScreen)->Unit(benchmark::kMicrosecond);

// The same with all four looks of the two planes.
void BM_Chip8ConvertFourColours(benchmark::State& state) {
    drawCheckerboard(state, 4);
}
BENCHMARK(BM_Chip8ConvertFourColours)->Unit(benchmark::kMicrosecond);

// The display's convert as the render worker calls it, with the middle cell of every
// screen row changed between frames: its comparison finds every row to draw again.
void BM_Chip8DisplayConvertEveryRowChanged(benchmark::State& state) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    const auto chip8 = checkerboard(2);
    {
        Chip8Display display(*chip8);
        for (auto _ : state) {
            for (std::uint32_t y = 0; y < chip8ScreenHeight; ++y) {
                chip8->screen[y * chip8ScreenWidth + 64] ^= 1;
            }
            display.convert();
            benchmark::ClobberMemory();
        }
    }
    headless::setMainSurface(nullptr);
}
BENCHMARK(BM_Chip8DisplayConvertEveryRowChanged)->Unit(benchmark::kMicrosecond);
} // namespace
