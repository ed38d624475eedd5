#pragma once

#include "app/emulator_state.h"

#include <string_view>

// The machine a ROM is run on, chosen from its path as the shell chooses it: ".c16"
// anywhere in the path, in any letter case, means Chip-16; anything else Chip-8.
MachineKind machineForRomPath(std::string_view path);
