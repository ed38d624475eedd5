#pragma once
// The Chip-16 executor: applies one instruction word to the machine.

#include "chip16/chip16_machine.h"

#include <cstdint>

// Executes `word` (opcode in bits 0-7, X/Y nibbles in 8-15, immediate in 16-31). PC
// already points at the next instruction. The later instructions of
// chip16/extended_set.h run only on a machine started with them chosen; unknown opcodes
// are counted, reported and skipped.
void executeChip16Instruction(Chip16Machine& m, std::uint32_t word);

// Fetches and executes `count` instructions from PC on, as that many calls of
// executeChip16Instruction would, with no frame boundary among them.
void runChip16Instructions(Chip16Machine& m, std::uint32_t count);

// Whether condition code 0-15 of Jx and Cx holds for the current flags.
bool chip16ConditionHolds(const Chip16Machine& m, unsigned condition);

// The flags as PUSHF stores them: carry bit 1, zero bit 2, overflow bit 6, negative bit 7.
std::uint16_t packChip16Flags(const Chip16Machine& m);
void unpackChip16Flags(Chip16Machine& m, std::uint16_t word);
