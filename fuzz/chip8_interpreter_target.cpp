#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"

#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>

namespace {
constexpr int batches = 2;
constexpr std::uint64_t timeStepNanoseconds = 250'000;

// Bit k of an input's key word holds CHIP-8 key k.
constexpr std::array<unsigned, 16> keyOfBit = {0x0, 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7,
                                               0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF};

// One machine for every input; each load clears what the last one left that matters.
Chip8Machine& fuzzMachine() {
    static const auto machine = std::make_unique<Chip8Machine>();
    return *machine;
}

void loadProgram(Chip8Machine& m, std::span<const std::uint8_t> rom) {
    m.memory.fill(0);
    std::copy(smallFont.begin(), smallFont.end(), m.memory.begin());
    std::copy(bigFont.begin(), bigFont.end(), m.memory.begin() + chip8BigFontStart);
    const std::size_t length =
        std::min<std::size_t>(rom.size(), chip8MemoryBytes(m.rules) - chip8ProgramStart);
    std::copy_n(rom.begin(), length, m.memory.begin() + chip8ProgramStart);
    m.stack.fill(0);
    m.eraseFlag = 0;
    resetChip8Machine(m);
    m.random = fuzzRandom();
}

// What no instruction may break: a cell holds only the planes the rules have (one, or
// XO-CHIP's two), the resolution is one of the two, the stack pointer indexes the stack,
// I addresses the rules' memory, the plane selection names only those two planes.
void checkMachine(const Chip8Machine& m, const Chip8Rules& rules) {
    const std::uint8_t highestCell = rules.xoChipInstructions ? 3 : 1;
    FUZZ_CHECK(std::all_of(m.screen.begin(), m.screen.end(),
                           [&](std::uint8_t cell) { return cell <= highestCell; }));
    FUZZ_CHECK(m.planes <= 3);
    FUZZ_CHECK(m.rules == rules);
    FUZZ_CHECK(m.hiRes <= 1);
    FUZZ_CHECK(m.eraseFlag <= 1);
    FUZZ_CHECK(m.sp < m.stack.size());
    FUZZ_CHECK(m.I < chip8MemoryBytes(rules));
    FUZZ_CHECK(m.screenWidth == chip8ScreenWidth && m.screenHeight == chip8ScreenHeight);
}
} // namespace

int fuzzChip8Interpreter(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    Chip8Machine& m = fuzzMachine();
    FuzzInput input(data, size);
    const std::uint16_t firstKeys = input.word();
    const std::uint16_t laterKeys = input.word();
    const std::uint8_t options = input.byte();
    const Chip8Rules rules = chip8RulesFor(chip8Variants[input.byte() % std::size(chip8Variants)]);
    m.rules = rules;
    openFuzzConsole((options & 1u) != 0);
    const std::uint64_t timeStep = (options >> 1) * timeStepNanoseconds;
    loadProgram(m, input.rest());

    for (int batch = 0; batch < batches; ++batch) {
        holdKeys(m.keys, keyOfBit, batch < batches / 2 ? firstKeys : laterKeys);
        runChip8Batch(m);
        advanceManualClock(timeStep);
        checkMachine(m, rules);
    }
    // The exit instruction asks for one Reset until the machine is stopped.
    FUZZ_CHECK(headless::postedCommandCount() <= 1);
    clearChip8ResetRequest(m);
    closeFuzzConsole();
    return 0;
}
