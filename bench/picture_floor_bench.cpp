// The floors under the display conversions: filling each display's picture with one
// value, row by row. A conversion writes every pixel of the same rows, so it cannot
// take less.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
void fillPicture(benchmark::State& state, std::uint32_t width, std::uint32_t height) {
    const std::unique_ptr<std::uint32_t, decltype(&std::free)> pixels(
        static_cast<std::uint32_t*>(std::aligned_alloc(64, std::size_t{width} * height * 4)),
        &std::free);
    int value = 0;
    for (auto _ : state) {
        for (std::uint32_t y = 0; y < height; ++y) {
            std::memset(pixels.get() + std::size_t{y} * width, ++value & 0xFF,
                        std::size_t{width} * 4);
        }
        benchmark::ClobberMemory();
    }
}

// The Chip-16 display's picture: 960 x 720.
void BM_Chip16PictureMemset(benchmark::State& state) {
    fillPicture(state, 960, 720);
}
BENCHMARK(BM_Chip16PictureMemset)->Unit(benchmark::kMillisecond);

// The CHIP-8 display's picture: 512 x 256.
void BM_Chip8PictureMemset(benchmark::State& state) {
    fillPicture(state, 512, 256);
}
BENCHMARK(BM_Chip8PictureMemset)->Unit(benchmark::kMicrosecond);
} // namespace
