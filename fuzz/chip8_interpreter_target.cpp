#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"

#include "app/chip8_start_stop.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr int batches = 2;
constexpr std::uint64_t timeStepNanoseconds = 250'000;

void loadProgram(std::span<const std::uint8_t> rom) {
    chip8.memory.fill(0);
    std::copy(smallFont.begin(), smallFont.end(), chip8.memory.begin());
    std::copy(bigFont.begin(), bigFont.end(), chip8.memory.begin() + chip8BigFontStart);
    const std::size_t length =
        std::min<std::size_t>(rom.size(), chip8MemoryBytes(chip8.rules) - chip8ProgramStart);
    std::copy_n(rom.begin(), length, chip8.memory.begin() + chip8ProgramStart);
    chip8.stack.fill(0);
    chip8.eraseFlag = 0;
    resetChip8Machine(chip8);
}

// What no instruction may break: a cell holds only the planes the rules have (one, or
// XO-CHIP's two), the resolution is one of the two, the stack pointer indexes the stack,
// I addresses the rules' memory, the plane selection names only those two planes.
void checkMachine(const Chip8Rules& rules) {
    const std::uint8_t highestCell = rules.xoChipInstructions ? 3 : 1;
    FUZZ_CHECK(std::all_of(chip8.screen.begin(), chip8.screen.end(),
                           [&](std::uint8_t cell) { return cell <= highestCell; }));
    FUZZ_CHECK(chip8.planes <= 3);
    FUZZ_CHECK(chip8.rules == rules);
    FUZZ_CHECK(chip8.hiRes <= 1);
    FUZZ_CHECK(chip8.eraseFlag <= 1);
    FUZZ_CHECK(chip8.sp < chip8.stack.size());
    FUZZ_CHECK(chip8.I < chip8MemoryBytes(rules));
    FUZZ_CHECK(chip8.screenWidth == chip8ScreenWidth && chip8.screenHeight == chip8ScreenHeight);
}
} // namespace

int fuzzChip8Interpreter(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    FuzzInput input(data, size);
    const std::uint16_t firstKeys = input.word();
    const std::uint16_t laterKeys = input.word();
    const std::uint8_t options = input.byte();
    const Chip8Rules rules = chip8RulesFor(chip8Variants[input.byte() % std::size(chip8Variants)]);
    chip8.rules = rules;
    openFuzzConsole((options & 1u) != 0);
    const std::uint64_t timeStep = (options >> 1) * timeStepNanoseconds;
    loadProgram(input.rest());

    for (int batch = 0; batch < batches; ++batch) {
        holdKeys(Chip8Machine::keyMap.data(), 0, 16, batch < batches / 2 ? firstKeys : laterKeys);
        runChip8Batch(chip8);
        advanceManualClock(timeStep);
        checkMachine(rules);
    }
    // The exit instruction asks for one Reset until the machine is stopped.
    FUZZ_CHECK(headless::postedCommandCount() <= 1);
    clearChip8ResetRequest();
    chip8.rules = quorvixRules;
    closeFuzzConsole();
    return 0;
}
