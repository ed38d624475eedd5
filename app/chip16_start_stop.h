#pragma once
// Starting and stopping the Chip-16 machine with its display and "tExecute" worker.

#include <string>

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
