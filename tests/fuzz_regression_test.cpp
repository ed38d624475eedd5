// Replays kept fuzz inputs through their fuzz targets: inputs that once crashed a
// machine, tripped a sanitizer or broke one of the targets' rules, and the fuzzers'
// corpus. A target that breaks a rule aborts with the rule's text.

#include "fuzz/fuzz_targets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
namespace fs = std::filesystem;

std::vector<fs::path> keptInputs(const fs::path& folder) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(folder)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

// Runs every file of <root>/<target name>/ through its target; returns how many ran.
std::size_t replay(const fs::path& root) {
    std::size_t replayed = 0;
    for (const FuzzTarget& target : fuzzTargets()) {
        for (const fs::path& input : keptInputs(root / target.name)) {
            SCOPED_TRACE(input.string());
            std::ifstream file(input, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                                  std::istreambuf_iterator<char>()};
            EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
            ++replayed;
        }
    }
    return replayed;
}

// The corpus reaches nearly every instruction and loader path of both machines, so the
// targets' rules are checked in every build the tests run in.
TEST(FuzzRegressionTest, KeptInputsAndTheCorpusRunCleanly) {
    replay(QUORVIX_FUZZ_REGRESSIONS);
    EXPECT_GT(replay(QUORVIX_FUZZ_CORPUS), 1000u);
}
} // namespace
