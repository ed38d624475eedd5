#pragma once
// The later Chip-16 instructions (MOD, REM, NOT, NEG, PAL and two sound forms). A
// machine runs them when its extendedInstructions switch is on (off by default: those
// opcodes are then unknown); the switch is set before a start and never in the middle
// of a running program.

#include "chip16/chip16_machine.h"

#include <cstdint>

// Executes one of the later instructions; false, with nothing changed, for any other
// opcode. Only Z and N are written (by the arithmetic forms); the other flags keep
// their values.
bool executeChip16ExtendedInstruction(Chip16Machine& m, std::uint32_t word);

// PAL: 48 bytes from `address` on, red, green and blue for colours 0 to 15; addresses
// past 0xFFFF continue at 0x0000.
void loadChip16Palette(Chip16Machine& m, std::uint16_t address);
