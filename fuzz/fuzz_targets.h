#pragma once
// The fuzz targets: each takes one input of arbitrary bytes, runs the real machine code
// on it for a bounded number of instructions and checks what must hold for every
// input. A broken rule prints what broke and aborts, which libFuzzer reports as a crash
// and a replaying test as a failure.

#include <cstddef>
#include <cstdint>
#include <span>

// Bytes 0-1: the CHIP-8 keys held during the first batch (bit k = key k), 2-3: those
// held during the second, 4: bit 0 opens the console, bits 1-7 the time that passes
// per batch (in 0.25 ms), then the ROM loaded at 512.
int fuzzChip8Interpreter(const std::uint8_t* data, std::size_t size);

// Byte 0: the controller buttons held during the first two batches, 1: during the last
// two, 2: bit 0 opens the console, bit 1 gives the machine its display (frame
// boundaries then convert and present the screen), 3: where in its frame the machine
// starts (0 = at the start, 255 = just before the boundary), 4-5: the start address,
// then the memory image from address 0.
int fuzzChip16Executor(const std::uint8_t* data, std::size_t size);

// The whole input is a ROM file; it is loaded as each machine loads it and then run for
// one batch.
int fuzzChip8Loader(const std::uint8_t* data, std::size_t size);
int fuzzChip16Loader(const std::uint8_t* data, std::size_t size);

// quorvix-run's arguments, the whole input as the text: --press (byte 0, bit 0: the ROM
// is a Chip-16 one; then the text), --poke, and --frames with --seconds (the same text
// read as both limits).
int fuzzRunnerPress(const std::uint8_t* data, std::size_t size);
int fuzzRunnerPoke(const std::uint8_t* data, std::size_t size);
int fuzzRunnerLimits(const std::uint8_t* data, std::size_t size);

// The whole input is a ROM path; the machine chosen for it.
int fuzzRomMachine(const std::uint8_t* data, std::size_t size);

// Byte 0 controls, the rest is a save-state file: bit 1 completes a short file from a
// good one of the kind its byte 10 names (bit 3: the XO-CHIP one for CHIP-8), bit 2
// sets its payload length to what it holds, bit 0 sets its CRC-32 to match. A state that
// is read back is written to the same bytes and runs a few hundred instructions.
int fuzzSaveStateReader(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name;
    int (*run)(const std::uint8_t* data, std::size_t size);
};

// Every target, by the name its fuzzer and its kept inputs' folder carry.
std::span<const FuzzTarget> fuzzTargets();
