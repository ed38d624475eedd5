#pragma once
// The CHIP-8 / SCHIP machine record; `chip8` is the one the workers run.

#include "chip8/chip8_rules.h"
#include "machine/display_interfaces.h"
#include "workers/worker_thread.h"

#include <array>
#include <cstdint>
#include <memory>

// The memory the machine's own rules address; the record holds the largest memory any
// rule set addresses (XO-CHIP's 64 KiB), and the rules' address mask picks how much of it.
constexpr std::uint32_t chip8MemorySize = 4096;
constexpr std::uint32_t chip8LargestMemorySize = 65536;
constexpr std::uint32_t chip8ScreenWidth = 128;
constexpr std::uint32_t chip8ScreenHeight = 64;
constexpr std::uint16_t chip8ProgramStart = 512;
constexpr std::uint16_t chip8BigFontStart = 80;
// The XO-CHIP pitch register at start: the pattern plays at 4,000 bits a second.
constexpr std::uint8_t chip8DefaultPitch = 64;

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
    std::array<std::uint8_t, 16> rplFlags{};
    // XO-CHIP: the planes that clear, scroll and draw act on (bit 0 plane 1, bit 1
    // plane 2), and the sound a later audio output plays: a 16-byte bit pattern and
    // its pitch register.
    std::uint8_t planes = 1;
    std::array<std::uint8_t, 16> audioPattern{};
    std::uint8_t pitch = chip8DefaultPitch;
    // Nanoseconds since program start of each timer's last step; 0 = not yet timed.
    std::uint64_t delayTimerLastTick = 0;
    std::uint64_t soundTimerLastTick = 0;
    // Paced rules: the performance counter, in nanoseconds, at which the last 1/60 s
    // tick began; 0 = no tick yet.
    std::uint64_t lastTickStart = 0;
    // Set by "tExecute" while a paced tick holds the "tRender" mutex, so that the tick's
    // draws do not take it again. Touched by no other thread.
    bool tickHoldsRender = false;

    // One byte per buffer pixel: bit 0 lit in plane 1, bit 1 lit in plane 2 (only the
    // XO-CHIP rules draw there); always the high-resolution size. Aligned so that clears
    // and scrolls can move it in blocks of up to 64 cells (see screen_cells.h).
    alignas(64) std::array<std::uint8_t, chip8ScreenWidth * chip8ScreenHeight> screen{};
    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    std::uint8_t hiRes = 0;
    // The last draw turned a lit pixel off.
    std::uint8_t eraseFlag = 0;

    std::array<std::uint8_t, chip8LargestMemorySize> memory{};
    std::array<std::uint16_t, 16> stack{};

    // Windows virtual-key codes; entries 0-15 are the CHIP-8 keys 0x0-0xF.
    static const std::array<std::uint8_t, 32> keyMap;
};

extern Chip8Machine chip8;

extern const std::array<std::uint8_t, 80> smallFont;
extern const std::array<std::uint8_t, 160> bigFont;

// Clears memory, writes both fonts and loads the file at loadOffset (always 512), cut at
// the end of the memory the machine's rules address (4 KiB, or 64 KiB for XO-CHIP).
// False, with "Error: Rom not found!", when the path is not a readable regular file.
bool loadChip8Rom(Chip8Machine& m, std::uint16_t loadOffset, const char* path);

// The start of a run: clears the register block and the screen, pc 512, 128 x 64
// buffer, low resolution, plane 1 selected, no audio pattern, the default pitch.
// eraseFlag, the stack and the rules keep their values.
void resetChip8Machine(Chip8Machine& m);
