// Converting the CHIP-8 screen into the 512 x 256 texture.

#include "chip8/chip8_machine.h"
#include "display/display_dx8.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {
constexpr std::uint32_t width = 512;
constexpr std::uint32_t height = 256;

// A checkerboard of `looks` cell values (2: plane 1 lit or not; 4: both planes), so no
// run of neighbouring cells is uniform, converted into a padded texture.
void convertCheckerboard(benchmark::State& state, std::uint32_t looks) {
    const auto chip8 = std::make_unique<Chip8Machine>();
    for (std::size_t i = 0; i < chip8->screen.size(); ++i) {
        chip8->screen[i] =
            static_cast<std::uint8_t>(((i % chip8ScreenWidth) + i / chip8ScreenWidth) % looks);
    }
    constexpr std::int32_t pitch = 2304; // a padded row, as the frame device makes
    std::vector<std::uint32_t> texels(static_cast<std::size_t>(pitch / 4) * height);
    const LockedImage image{texels.data(), pitch};
    for (auto _ : state) {
        convertChip8Screen(*chip8, image, width, height);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Chip8ConvertFullScreen(benchmark::State& state) {
    convertCheckerboard(state, 2);
}
BENCHMARK(BM_Chip8ConvertFullScreen)->Unit(benchmark::kMicrosecond);

// The same with all four looks of the two planes.
void BM_Chip8ConvertFourColours(benchmark::State& state) {
    convertCheckerboard(state, 4);
}
BENCHMARK(BM_Chip8ConvertFourColours)->Unit(benchmark::kMicrosecond);

// The floor for a conversion: filling the same pitched 512 x 256 texels, row by row.
void BM_Chip8PitchedMemset(benchmark::State& state) {
    constexpr std::int32_t pitch = 2304;
    std::vector<std::uint32_t> texels(static_cast<std::size_t>(pitch / 4) * height);
    for (auto _ : state) {
        for (std::uint32_t y = 0; y < height; ++y) {
            std::memset(texels.data() + std::size_t{y} * (pitch / 4), 0x5A, width * 4);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}
BENCHMARK(BM_Chip8PitchedMemset)->Unit(benchmark::kMicrosecond);
} // namespace
