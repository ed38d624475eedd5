#include "fuzz/fuzz_targets.h"

#include <array>

namespace {
constexpr std::array<FuzzTarget, 9> targets = {{
    {"chip8_interpreter", fuzzChip8Interpreter},
    {"chip16_executor", fuzzChip16Executor},
    {"chip8_loader", fuzzChip8Loader},
    {"chip16_loader", fuzzChip16Loader},
    {"runner_press", fuzzRunnerPress},
    {"runner_poke", fuzzRunnerPoke},
    {"runner_limits", fuzzRunnerLimits},
    {"rom_machine", fuzzRomMachine},
    {"save_state", fuzzSaveStateReader},
}};
} // namespace

std::span<const FuzzTarget> fuzzTargets() {
    return targets;
}
