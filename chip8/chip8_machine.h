#pragma once
// The CHIP-8 / SCHIP machine record; `chip8` is the one the workers run.

#include "chip8/chip8_rules.h"
#include "machine/debugging.h"
#include "machine/machine_keys.h"
#include "machine/sound_event.h"
#include "platform/random.h"
#include "workers/worker_thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

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
constexpr std::uint8_t chip8NoKeyWaited = 0xFF;

// The emulated CHIP-8 / SCHIP / XO-CHIP machine as a plain value: what a save state
// holds and a debugger shows.
struct Chip8State {
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
    // Fx0A completing on release: the key seen pressed while waiting, until it goes up;
    // noKeyWaited while none is.
    std::uint8_t keyWaited = chip8NoKeyWaited;
    // XO-CHIP: the planes that clear, scroll and draw act on (bit 0 plane 1, bit 1
    // plane 2), and the sound: a 16-byte bit pattern and its pitch register.
    std::uint8_t planes = 1;
    std::array<std::uint8_t, 16> audioPattern{};
    std::uint8_t pitch = chip8DefaultPitch;
    RandomState random{};
    // Paced rules: 1/60 s ticks begun since the start, the machine's own clock, and the
    // instructions the tick under way has run (0 = the next instruction begins a tick).
    std::uint64_t ticksCompleted = 0;
    std::uint32_t tickInstructionsDone = 0;

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
};

// The state with what running it needs besides: the links to the workers and the
// host, and the real-time bookkeeping of the timers. Not a value: a running machine is
// shared with its workers.
struct Chip8Machine : Chip8State {
    // The worker that presents the screen; a draw waits for it. Owned by the runtime.
    WorkerThread* renderWorker = nullptr;
    // Asked before and after each instruction while a debugger watches; null (no check
    // at all) otherwise. Set only between two steps of the worker.
    InstructionWatch* watch = nullptr;
    // The keypad: bit k held = CHIP-8 key k.
    MachineKeys keys;
    // Where sound events go; empty = nobody listens.
    SoundHook soundHook;
    // Set once the exit instruction has asked the host for a Reset, until the machine
    // is stopped; the instruction repeats until then and must ask only once.
    std::atomic<bool> resetRequested{false};

    // Nanoseconds since program start of each timer's last step; 0 = not yet timed.
    std::uint64_t delayTimerLastTick = 0;
    std::uint64_t soundTimerLastTick = 0;
    // Paced rules: the performance counter, in nanoseconds, at which the last 1/60 s
    // tick began; 0 = no tick yet.
    std::uint64_t lastTickStart = 0;
    // Paced rules wait for real time between ticks; a headless run at full speed turns
    // this off, and each tick then starts at once (the timers still step once a tick).
    bool tickPacing = true;
    // Set by "tExecute" while a paced tick holds the "tRender" mutex, so that the tick's
    // draws do not take it again. Touched by no other thread.
    bool tickHoldsRender = false;
    // Instructions run since the machine was made.
    std::atomic<std::uint64_t> instructionsExecuted{0};
    // The host clock's reading (nanoseconds since program start) that counts as the
    // machine's time 0 under real-time rules; moved on by the time spent paused.
    std::uint64_t clockOffset = 0;
};

extern const std::array<std::uint8_t, 80> smallFont;
extern const std::array<std::uint8_t, 160> bigFont;

// Clears memory, writes both fonts and copies the ROM image to 512 on, cut at the end
// of the memory the machine's rules address (4 KiB, or 64 KiB for XO-CHIP).
void loadChip8Rom(Chip8State& m, std::span<const std::uint8_t> rom);

// The start of a run: clears the register block and the screen, pc 512, 128 x 64
// buffer, low resolution, plane 1 selected, no audio pattern, the default pitch, an
// unseeded random generator. eraseFlag, the stack and the rules keep their values.
void resetChip8Machine(Chip8State& m);
// The same for a machine about to run: also forgets the timers' real-time bookkeeping.
void resetChip8Machine(Chip8Machine& m);
