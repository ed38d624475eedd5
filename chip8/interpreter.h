#pragma once
// The CHIP-8 / SCHIP interpreter.

#include <cstdint>

struct Chip8Machine;

constexpr int chip8BatchIterations = 1000;

// The Chip-8 branch of executeStep: 1000 iterations of timer update and one
// instruction, fewer when the worker is being stopped (it ends between instructions).
void runChip8Batch(Chip8Machine& m);

// One iteration at `now` nanoseconds since program start: timers, fetch, execute.
void stepChip8(Chip8Machine& m, std::uint64_t now);

// Executes one opcode whose fetch has already moved pc past it.
void executeChip8Instruction(Chip8Machine& m, std::uint16_t opcode);

// Iterations run by every batch since the process started (per batch, so it is cheap).
std::uint64_t chip8InstructionsExecuted();
