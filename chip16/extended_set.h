#pragma once
// The later Chip-16 instructions (MOD, REM, NOT, NEG, PAL and two sound forms) as one
// process-wide choice. Off by default: the machine then reports those opcodes as
// unknown. A machine start copies the choice into the machine, so a change takes
// effect at the next Load or Reset and never in the middle of a running program.

#include "chip16/chip16_machine.h"

#include <cstdint>

// Any thread.
void chooseChip16ExtendedSet(bool on);
bool chip16ExtendedSetChosen();

// Executes one of the later instructions; false, with nothing changed, for any other
// opcode. Only Z and N are written (by the arithmetic forms); the other flags keep
// their values.
bool executeChip16ExtendedInstruction(Chip16Machine& m, std::uint32_t word);

// PAL: 48 bytes from `address` on, red, green and blue for colours 0 to 15; addresses
// past 0xFFFF continue at 0x0000.
void loadChip16Palette(Chip16Machine& m, std::uint16_t address);
