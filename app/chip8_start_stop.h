#pragma once
// Starting and stopping the Chip-8 machine with its "tRender" and "tExecute" workers.

#include <string>

// GUI thread. Stops any running Chip-8 machine, loads the ROM and, when it opened,
// starts a fresh machine with its "tRender" and "tExecute" workers.
void startChip8(const std::string& path);
// GUI thread. Stops "tExecute", then "tRender"; harmless when nothing runs.
void stopChip8();

// startChip8 in its two halves, for callers that change memory between loading and
// the first instruction (a headless runner poking a mode byte):
// stop, load and reset; false, with the machine stopped, when the ROM did not open.
bool loadFreshChip8(const std::string& path);
// Creates "tRender" (and with it the display), then "tExecute".
void startChip8Workers();
