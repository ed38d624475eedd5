// Random bytes as programs: whatever a ROM holds, the machine stays inside its memory,
// its screen and its stack, and the sanitizer builds see no undefined behaviour.

#include "tests/chip8_test_machine.h"

#include <algorithm>
#include <random>

namespace {
// Sanitizer builds run a tenth of the programs; the instruction count stays.
#ifdef QUORVIX_SANITIZED
constexpr int programsPerShard = 50;
#else
constexpr int programsPerShard = 500;
#endif

std::vector<std::uint8_t> randomRom(std::mt19937& random) {
    std::vector<std::uint8_t> rom(chip8MemorySize - chip8ProgramStart);
    std::generate(rom.begin(), rom.end(), [&] { return static_cast<std::uint8_t>(random()); });
    return rom;
}

class Chip8RandomProgramTest : public Chip8MachineTest,
                               public ::testing::WithParamInterface<int> {};

// Each shard runs its programs for 200 000 instructions, a millisecond per thousand.
TEST_P(Chip8RandomProgramTest, RandomRomsKeepTheMachineConsistent) {
    verboseConsole = 0;
    std::mt19937 random(static_cast<std::uint32_t>(GetParam()) * 7919u + 1);
    useManualClock(clockStart + 1);
    for (int program = 0; program < programsPerShard; ++program) {
        load(randomRom(random));
        // Some keys held, so that key waits end in some programs and not in others.
        for (std::size_t key = 0; key < 16; ++key) {
            setKeyDown(Chip8Machine::keyMap[key], random() % 4 == 0);
        }
        for (int batch = 0; batch < 200; ++batch) {
            runChip8(1000);
            advanceManualClock(1'000'000);
            ASSERT_LE(chip8.I, 0xFFF);
            ASSERT_LE(chip8.sp, 15);
        }
        ASSERT_TRUE(std::all_of(chip8.screen.begin(), chip8.screen.end(),
                                [](std::uint8_t cell) { return cell <= 1; }));
        headless::takePostedCommands();
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, Chip8RandomProgramTest, ::testing::Range(0, 4));

} // namespace
