// What Automatic adds to a CHIP-8 Load or Reset: reading the ROM file, its SHA-1 and
// the lookup in the programs table. It must stay far below a millisecond.

#include "chip8/program_database.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {
// A ROM file of `size` bytes in the temporary folder, removed again at the end.
class RomFile {
  public:
    explicit RomFile(std::size_t size)
        : path_((std::filesystem::temp_directory_path() /
                 ("quorvix-bench-" + std::to_string(size) + ".ch8"))
                    .string()) {
        std::vector<unsigned char> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<unsigned char>(i * 7);
        }
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
    }
    ~RomFile() { std::remove(path_.c_str()); }
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

void identifyRomsOfSize(benchmark::State& state, std::size_t size) {
    const RomFile rom(size);
    for (auto _ : state) {
        RomIdentity identity = identifyChip8Rom(rom.path());
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
