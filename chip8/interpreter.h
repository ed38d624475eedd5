#pragma once
// The CHIP-8 / SCHIP interpreter.

#include <cstdint>

struct Chip8Machine;

constexpr int chip8BatchIterations = 1000;

// The Chip-8 branch of executeStep. Unpaced rules (the machine's own): 1000
// iterations of timer update and one instruction. Paced rules: one 1/60 s tick, that
// is the wait for the tick, one step of each timer and the tick's instructions. Either
// ends early, between instructions, when the worker is being stopped.
void runChip8Batch(Chip8Machine& m);

// One unpaced iteration at `now` nanoseconds since program start: timers, fetch,
// execute, by the machine's rules.
void stepChip8(Chip8Machine& m, std::uint64_t now);

// `count` unpaced iterations as a batch runs them. While a timer runs the clock is read
// before each run of up to 48 quick instructions (register work, jumps, skips, moves
// between memory and registers) and after every other instruction, so a timer steps
// well under a microsecond after it is due.
// Ends early, at the end of such a run, when the worker is being stopped.
void runChip8Iterations(Chip8Machine& m, std::uint64_t count);

// For a machine held between two steps of its worker (paused): exactly one instruction,
// the timers at `now`. Under paced rules the first instruction of a tick begins it (the
// timers step once) and a tick ends after its instructions or at a draw that waits
// for the refresh. False, with nothing run, when the machine's watch stops it first.
bool stepChip8Instruction(Chip8Machine& m, std::uint64_t now);
// Paced rules: the rest of the tick under way, or a whole one. The machine's own rules,
// which have no ticks: one batch of instructions at `now`. Either ends early where the
// machine's watch stops it.
void stepChip8Frame(Chip8Machine& m, std::uint64_t now);

// Executes one opcode whose fetch has already moved pc past it.
void executeChip8Instruction(Chip8Machine& m, std::uint16_t opcode);

// Iterations run by the machine's batches (counted per batch, so it is cheap).
std::uint64_t chip8InstructionsExecuted(const Chip8Machine& m);

// The machine's emulated time in nanoseconds, as its sound events carry it.
std::uint64_t chip8EmulatedTime(const Chip8Machine& m);

// Tells the sound hook the machine's sound as it stands (XO-CHIP's pattern and pitch,
// whether the sound timer sounds), for a machine whose state was just replaced: what
// played before says nothing about it.
void reportChip8SoundState(Chip8Machine& m);
