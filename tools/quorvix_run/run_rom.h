#pragma once

#include "tools/quorvix_run/run_options.h"

// Runs the ROM on the real workers against a headless frame sink until the frame or
// time limit, then writes what was asked for. Returns the process exit status: 0, or
// 1 when the ROM could not be loaded, the state to start from was refused, a state or an
// output could not be written, or 2 when a
// --poke address lies outside the machine's memory.
int runRom(const RunOptions& options);
