#include "fuzz/fuzz_targets.h"

#include <array>

namespace {
constexpr std::array<FuzzTarget, 4> targets = {{
    {"chip8_interpreter", fuzzChip8Interpreter},
    {"chip16_executor", fuzzChip16Executor},
    {"chip8_loader", fuzzChip8Loader},
    {"chip16_loader", fuzzChip16Loader},
}};
} // namespace

std::span<const FuzzTarget> fuzzTargets() {
    return targets;
}
