#pragma once
// Handing the user's machine choices to the machines. GUI thread (or a headless
// runner's main thread), only while no worker of either machine runs.

#include "machine/machine_settings.h"

// Gives the Chip-8 machine the rules of the chosen variant and the Chip-16 machine the
// chosen instruction set, and, when the machine about to start (`kind`) runs by a
// choice other than its default, logs "Variant: <name>".
void applyMachineChoices(MachineKind kind);
