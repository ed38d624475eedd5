// The floors under the display conversions: filling each display's texture with one
// value, row by row at the pitch the frame device gives it. A conversion writes every
// texel of the same rows, so it cannot take less.

#include "display/frame_device.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

namespace {
void fillTexture(benchmark::State& state, std::uint32_t width, std::uint32_t height) {
    FrameSystem* system = createFrameSystem();
    struct NoSurface final : PictureSurface {
        void showFrame(const FrameView&) override {}
        std::uint64_t refreshPeriodNanoseconds() const override { return 0; }
    } surface;
    FrameDevice* device = createFrameDevice(*system, width, height, &surface);
    FrameTexture* texture = createFrameTexture(device, width, height);
    LockedImage image;
    lockTexture(texture, image);
    int value = 0;
    for (auto _ : state) {
        for (std::uint32_t y = 0; y < height; ++y) {
            std::memset(image.row(y), ++value & 0xFF, std::size_t{width} * 4);
        }
        benchmark::ClobberMemory();
    }
    unlockTexture(texture);
    releaseFrameTexture(texture);
    releaseFrameDevice(device);
    releaseFrameSystem(system);
}

// DisplayDx16's texture: 960 x 720.
void BM_DisplayDx16TextureMemset(benchmark::State& state) {
    fillTexture(state, 960, 720);
}
BENCHMARK(BM_DisplayDx16TextureMemset)->Unit(benchmark::kMillisecond);

// DisplayDx8's texture: 512 x 256.
void BM_DisplayDx8TextureMemset(benchmark::State& state) {
    fillTexture(state, 512, 256);
}
BENCHMARK(BM_DisplayDx8TextureMemset)->Unit(benchmark::kMicrosecond);
} // namespace
