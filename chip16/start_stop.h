#pragma once

#include <string>

struct Chip16Machine;

// GUI thread. Stops any running Chip-16 machine, loads the ROM and, when it opened,
// starts a fresh machine with its display and "tExecute" worker.
void startChip16(const std::string& path);
// GUI thread. Stops "tExecute", then destroys the display; harmless when nothing runs.
void stopChip16();

// Registers, flags, cycle count, screen and graphics settings back to their start values:
// PC = the loaded image's start address, SP = 0xFDF0, everything else 0. Memory and the
// worker and display references are left alone.
void resetChip16(Chip16Machine& m);
