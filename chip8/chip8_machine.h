#pragma once
// The CHIP-8 / SCHIP machine record; `chip8` is the one the workers run.

#include "chip8/chip8_rules.h"
#include "machine/display_interfaces.h"
#include "workers/worker_thread.h"

#include <array>
#include <cstdint>
#include <memory>

constexpr std::uint32_t chip8MemorySize = 4096;
constexpr std::uint32_t chip8ScreenWidth = 128;
constexpr std::uint32_t chip8ScreenHeight = 64;
constexpr std::uint16_t chip8ProgramStart = 512;
constexpr std::uint16_t chip8BigFontStart = 80;

struct Chip8Machine {
    std::unique_ptr<WorkerThread> executeWorker;
    std::unique_ptr<WorkerThread> renderWorker;
    std::unique_ptr<Displayc8> display;

    // The rule set this machine runs by; chosen before a start, never changed while a
    // worker of this machine runs.
    Chip8Rules rules{};

    // The register block, cleared as one by every machine start.
    std::array<std::uint8_t, 16> V{};
    std::uint16_t I = 0;
    std::uint8_t delayTimer = 0;
    std::uint8_t soundTimer = 0;
    std::uint16_t pc = 0;
    std::uint8_t sp = 0;
    std::array<std::uint8_t, 8> rplFlags{};
    // Nanoseconds since program start of each timer's last step; 0 = not yet timed.
    std::uint64_t delayTimerLastTick = 0;
    std::uint64_t soundTimerLastTick = 0;
    // Paced rules: the performance counter, in nanoseconds, at which the last 1/60 s
    // tick began; 0 = no tick yet.
    std::uint64_t lastTickStart = 0;

    // One byte per buffer pixel, 0 dark, 1 lit; always the high-resolution size.
    std::array<std::uint8_t, chip8ScreenWidth * chip8ScreenHeight> screen{};
    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    std::uint8_t hiRes = 0;
    // The last draw turned a lit pixel off.
    std::uint8_t eraseFlag = 0;

    std::array<std::uint8_t, chip8MemorySize> memory{};
    std::array<std::uint16_t, 16> stack{};

    // Windows virtual-key codes; entries 0-15 are the CHIP-8 keys 0x0-0xF.
    static const std::array<std::uint8_t, 32> keyMap;
};

extern Chip8Machine chip8;

extern const std::array<std::uint8_t, 80> smallFont;
extern const std::array<std::uint8_t, 160> bigFont;

// Clears memory, writes both fonts and loads the file at loadOffset (always 512).
// False, with "Error: Rom not found!", when the path is not a readable regular file.
bool loadChip8Rom(Chip8Machine& m, std::uint16_t loadOffset, const char* path);

// The start of a run: clears the register block and the screen, pc 512, 128 x 64
// buffer, low resolution. eraseFlag, the stack and the rules keep their values.
void resetChip8Machine(Chip8Machine& m);
