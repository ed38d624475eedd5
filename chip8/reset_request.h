#pragma once
// The SCHIP exit instruction restarts the ROM through the host's Reset command. It is
// executed again every iteration until that command stops the machine, so only the
// first execution posts; the next post waits until the machine has been stopped.

struct Chip8Machine;

// Posts Reset unless one this machine posted earlier has not been acted on yet.
void requestChip8Reset(Chip8Machine& m);
// The machine that asked has been stopped: a later exit instruction may post again.
void clearChip8ResetRequest(Chip8Machine& m);
bool chip8ResetPending(const Chip8Machine& m);
