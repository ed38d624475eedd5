#pragma once
// The Chip-16 console: 64 KiB of memory, sixteen 16-bit registers, four flags, the
// 320 x 240 screen with its sprite settings.

#include "machine/debugging.h"
#include "machine/machine_display.h"
#include "machine/machine_keys.h"
#include "machine/sound_event.h"
#include "platform/random.h"

#include <array>
#include <cstdint>

constexpr std::uint32_t chip16MemorySize = 65536;
constexpr std::uint32_t chip16ScreenWidth = 320;
constexpr std::uint32_t chip16ScreenHeight = 240;
constexpr std::uint16_t chip16InitialStackPointer = 0xFDF0;
constexpr std::uint16_t chip16ControllerAddress = 0xFFF0;

// The sixteen colours a machine starts with, 0xAARRGGBB.
constexpr std::array<std::uint32_t, 16> chip16DefaultPalette = {
    0xFF000000, 0xFF000000, 0xFF888888, 0xFFBF3932, 0xFFDE7AAE, 0xFF4C3D21, 0xFF905F25, 0xFFE49452,
    0xFFEAD979, 0xFF537A3B, 0xFFABD54A, 0xFF252E38, 0xFF00467F, 0xFF68ABCC, 0xFFBCDEE4, 0xFFFFFFFF,
};

// The emulated console as a plain value: what a save state holds and a debugger shows.
struct Chip16State {
    // Instructions since the last frame boundary, the fraction carried over.
    double cycles = 0.0;

    std::array<std::uint16_t, 16> R{};
    std::uint16_t pc = 0;
    // Grows upwards.
    std::uint16_t sp = 0;
    // 1 only during the one instruction that follows a frame boundary.
    std::uint8_t vblank = 0;
    std::uint8_t carry = 0;
    std::uint8_t zero = 0;
    std::uint8_t overflow = 0;
    std::uint8_t negative = 0;

    // One colour index 0-15 per pixel, row-major; 0 shows the background colour.
    std::array<std::uint8_t, chip16ScreenWidth * chip16ScreenHeight> screen{};
    // Bytes per sprite row (two pixels each) and rows, both 0-255.
    std::int32_t spriteWidth = 0;
    std::int32_t spriteHeight = 0;
    std::uint8_t backgroundColour = 0;
    std::uint8_t flipHorizontal = 0;
    std::uint8_t flipVertical = 0;
    // The colour of each index, 0xAARRGGBB; PAL replaces it.
    std::array<std::uint32_t, 16> palette = chip16DefaultPalette;
    // The envelope SNG set for the tones SNP plays.
    ToneEnvelope toneEnvelope{};
    RandomState random{};

    // Whether the later instructions (chip16/extended_set.h) execute; fixed at start.
    bool extendedInstructions = false;

    // 16-bit values are little-endian.
    std::array<std::uint8_t, chip16MemorySize> memory{};

    // Where execution of the loaded image begins: 0 for a raw image, the header's start
    // address for a file with the "CH16" header. Written by the loader.
    std::uint16_t startAddress = 0;
    // Frame boundaries passed since the machine started.
    std::uint64_t framesCompleted = 0;
};

// The state with what running it needs besides: the display its frames go to, the
// controller, the sound listener and diagnostics. Not a value: a running machine is
// shared with its worker.
struct Chip16Machine : Chip16State {
    // Shows each frame at its boundary; none = frames are not shown. Owned by the runtime.
    MachineDisplay* display = nullptr;
    // Asked before and after each instruction while a debugger watches; null (no check
    // at all) otherwise. Set only between two steps of the worker.
    InstructionWatch* watch = nullptr;
    // The controller: bit b held = bit b of the controller byte (Up, Down, Left, Right,
    // Select, Start, A, B in bits 0 to 7).
    MachineKeys keys;
    // Where sound events go; empty = nobody listens.
    SoundHook soundHook;
    // Frames are held to 60 a second of real time; a headless run at full speed turns
    // this off.
    bool framePacing = true;
    // How often each unknown opcode was met since the machine started; diagnostics only.
    std::array<std::uint64_t, 256> unknownOpcodeCounts{};
};

// Registers, flags, cycle count, screen and graphics settings back to their start values:
// PC = the loaded image's start address, SP = 0xFDF0, the default palette, an unseeded
// random generator, everything else 0. Memory, the loaded image's start address and the
// choice of instruction set are left alone.
void resetChip16(Chip16State& m);
// The same for a machine about to run: also forgets the unknown opcodes met.
void resetChip16(Chip16Machine& m);
