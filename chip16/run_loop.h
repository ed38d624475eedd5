#pragma once
// The Chip-16 branch of executeStep: the machine runs one million instructions per
// emulated second in 60 frames; each frame boundary shows the screen, samples the
// controller, waits for the frame pace and runs one instruction with vblank raised.

#include <cstdint>

struct Chip16Machine;

constexpr double chip16CyclesPerFrame = 16666.666666666668;
constexpr int chip16IterationsPerStep = 1000;

// 1000 iterations of the run loop (fewer, one at a time, while a debugger watches: up
// to where the machine's watch stops them or the worker is asked to yield).
void runChip16Batch(Chip16Machine& m);

// For a machine held between two steps of its worker (paused): exactly one
// instruction, as a batch would run it next (at a frame boundary: the boundary, with
// the frame shown but not paced, and its vblank instruction). False, with nothing run,
// when the machine's watch stops it first.
bool stepChip16Instruction(Chip16Machine& m);
// Instructions up to and including the next frame boundary's, or up to where the
// machine's watch stops them.
void stepChip16Frame(Chip16Machine& m);

// Adds 1.0 to `cycles` once per instruction, at most `most` times, stopping after the
// addition that takes it above chip16CyclesPerFrame; returns the number of additions.
// The result is bit for bit that of the additions done one at a time, which is what
// places the frame boundaries.
std::uint32_t advanceChip16Cycles(double& cycles, std::uint32_t most);

// The controller byte from the buttons held right now: Up, Down, Left, Right, Select,
// Start, A, B in bits 0 to 7.
std::uint8_t sampleChip16Controller(const Chip16Machine& m);

// Instructions executed since the machine started (every frame holds 16666.67 on
// average, and cycles counts the current one).
std::uint64_t chip16InstructionsExecuted(const Chip16Machine& m);
