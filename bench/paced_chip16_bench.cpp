// How much of one core a paced Chip-16 machine takes: a game-like program runs for 10 s
// of wall time at 60 frames a second, presenting to a surface that waits for a 60 Hz
// refresh as the window does, and the process's CPU time is divided by the wall time.

#include "app/chip16_runtime.h"
#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "display/picture_display.h"
#include "machine/machine_settings.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/rom_file.h"
#include "tools/program_builders/chip16_program.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {
constexpr std::chrono::seconds runTime{10};
constexpr std::uint64_t refreshPeriod = 16'666'667;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Moves a sprite every frame: waits for the vertical blank, clears, draws, does some
// arithmetic - the shape of a simple game's main loop.
std::vector<std::uint8_t> gameLoop() {
    Chip16Program p;
    p.spr(8, 16).ldi(0, 0).ldi(1, 100);
    p.at(0x20).vblnk().cls().drw(0, 1, 0x1000).addi(0, 1).andi(0, 0xFF).muli(2, 3).jmp(0x20);
    p.at(0x1000);
    for (int i = 0; i < 128; ++i) {
        p.data({static_cast<std::uint8_t>(0x10 * (i % 16) + 1)});
    }
    return p.image();
}

void BM_PacedChip16CpuShare(benchmark::State& state) {
    initClock();
    headless::FrameSink sink;
    sink.setRefreshPeriod(refreshPeriod);
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(true);
    const auto runtime = std::make_unique<Chip16Runtime>(false);
    const std::filesystem::path rom = std::filesystem::temp_directory_path() / "quorvix-paced.c16";
    {
        const std::vector<std::uint8_t> image = gameLoop();
        std::ofstream(rom, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
    }

    double share = 0.0;
    double framesPerSecond = 0.0;
    for (auto _ : state) {
        const auto image = readRomImage(rom.string());
        if (!image) {
            state.SkipWithError("the ROM file cannot be read");
            break;
        }
        runtime->load(*image);
        runtime->start();
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        std::this_thread::sleep_for(runTime);
        const double cpu = processCpuSeconds() - cpuStart;
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
        runtime->stop();
        // Read once the worker has stopped; the load started the count at 0.
        const std::uint64_t frames = runtime->machine().framesCompleted;
        share = cpu / wall.count();
        framesPerSecond = static_cast<double>(frames) / wall.count();
        state.SetIterationTime(wall.count());
    }
    std::remove(rom.string().c_str());
    headless::setMainSurface(nullptr);
    state.counters["cpu_share_percent"] = 100.0 * share;
    state.counters["frames_per_second"] = framesPerSecond;
}
BENCHMARK(BM_PacedChip16CpuShare)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
} // namespace
