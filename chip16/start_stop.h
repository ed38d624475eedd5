#pragma once
// Starting and stopping the Chip-16 machine with its display and "tExecute" worker.

#include <string>

struct Chip16Machine;

// GUI thread. Stops any running Chip-16 machine, loads the ROM and, when it opened,
// starts a fresh machine with its display and "tExecute" worker.
void startChip16(const std::string& path);
// GUI thread. Stops "tExecute", then destroys the display; harmless when nothing runs.
void stopChip16();

// startChip16 in its two halves, for callers that change memory between loading and
// the first instruction (a headless runner's pokes):
// stop, load and reset; false, with the machine stopped, when the ROM did not open.
bool loadFreshChip16(const std::string& path);
// Creates the display, then "tExecute".
void startChip16Workers();

// Registers, flags, cycle count, screen and graphics settings back to their start values:
// PC = the loaded image's start address, SP = 0xFDF0, the default palette, everything
// else 0; the extended instruction set as currently chosen. Memory and the worker and
// display references are left alone.
void resetChip16(Chip16Machine& m);
