// What Automatic adds to a CHIP-8 Load or Reset, whose ROM file is read anyway: the
// SHA-1 of its bytes and the lookup in the programs table. It must stay far below a
// millisecond.

#include "chip8/program_database.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {
void identifyRomsOfSize(benchmark::State& state, std::size_t size) {
    std::vector<std::uint8_t> rom(size);
    for (std::size_t i = 0; i < size; ++i) {
        rom[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (auto _ : state) {
        RomIdentity identity = identifyChip8Rom(rom);
        benchmark::DoNotOptimize(identity);
    }
}

// A ROM that fills a 4 KiB memory (3,584 bytes), and the largest one (65,024).
void BM_IdentifyFullChip8Rom(benchmark::State& state) {
    identifyRomsOfSize(state, 3584);
}
BENCHMARK(BM_IdentifyFullChip8Rom)->Unit(benchmark::kMicrosecond);

void BM_IdentifyLargestChip8Rom(benchmark::State& state) {
    identifyRomsOfSize(state, 65024);
}
BENCHMARK(BM_IdentifyLargestChip8Rom)->Unit(benchmark::kMicrosecond);

// The table search alone, for a digest in the middle of the table.
void BM_FindProgramBySha1(benchmark::State& state) {
    const std::string sha1 = "b9bbc12cee3f7b9d3b1f69161f7d7a2d86953379";
    for (auto _ : state) {
        benchmark::DoNotOptimize(findProgramBySha1(sha1));
    }
}
BENCHMARK(BM_FindProgramBySha1);
} // namespace
