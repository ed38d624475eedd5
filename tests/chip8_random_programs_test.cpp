// Random bytes as programs: whatever a ROM holds, the machine stays inside its memory,
// its screen and its stack, and the sanitizer builds see no undefined behaviour.

#include "app/console_log.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/start_stop.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/keyboard.h"
#include "tests/chip8_test_machine.h"
#include "tests/support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {
// Sanitizer builds run a tenth of the programs; the instruction count stays.
#ifdef QUORVIX_SANITIZED
constexpr int programsPerShard = 50;
#else
constexpr int programsPerShard = 500;
#endif
constexpr int shards = 4;
constexpr std::uint64_t instructionsPerProgram = 200'000;

std::vector<std::uint8_t> randomRom(std::mt19937& random) {
    std::vector<std::uint8_t> rom(chip8MemorySize - chip8ProgramStart);
    std::uniform_int_distribution<int> byte(0, 255);
    std::generate(rom.begin(), rom.end(), [&] { return static_cast<std::uint8_t>(byte(random)); });
    return rom;
}

class Chip8RandomProgramTest : public Chip8MachineTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        Chip8MachineTest::SetUp();
        verboseConsole = 0;
    }
};

TEST_P(Chip8RandomProgramTest, RandomRomsKeepTheMachineConsistent) {
    std::mt19937 random(static_cast<std::uint32_t>(GetParam()) * 7919u + 1);
    useManualClock(clockStart + 1);
    for (int program = 0; program < programsPerShard; ++program) {
        loadChip8Program(randomRom(random));
        // Some keys held, so that key waits end in some programs and not in others.
        for (std::size_t key = 0; key < 16; ++key) {
            setKeyDown(Chip8Machine::keyMap[key], random() % 4 == 0);
        }
        for (std::uint64_t done = 0; done < instructionsPerProgram; done += 1000) {
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

INSTANTIATE_TEST_SUITE_P(Shards, Chip8RandomProgramTest, ::testing::Range(0, shards));

// A few random programs on the real workers, with messages on, so that the threaded
// paths (draws against the render step, unlocked scrolls, logging) meet random input.
TEST_F(Chip8MachineTest, RandomRomsRunOnTheWorkers) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    TempDirectory folder;
    std::mt19937 random(12345);
    for (int program = 0; program < 8; ++program) {
        startChip8(folder.write("random.ch8", randomRom(random)));
        const std::uint64_t target = chip8InstructionsExecuted() + 50'000;
        EXPECT_TRUE(waitUntil([&] { return chip8InstructionsExecuted() >= target; }));
        stopChip8();
        console();
    }
    headless::setMainSurface(nullptr);
}
} // namespace
