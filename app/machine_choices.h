#pragma once
// Handing the user's machine choices to the machines. GUI thread (or a headless
// runner's main thread), only while no worker of either machine runs.

#include "machine/machine_settings.h"

// Gives the Chip-8 machine the rules of the chosen variant, at the chosen speed when
// the variant is paced, and the Chip-16 machine the chosen instruction set. When the
// machine about to start (`kind`) runs by a choice other than its default, it logs
// "Variant: <name>", and "Speed: <n> instructions per 1/60 s" after a chosen speed.
void applyMachineChoices(MachineKind kind);
