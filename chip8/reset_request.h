#pragma once
// The SCHIP exit instruction restarts the ROM through the main window's Reset command.
// It is executed again every iteration until that command stops the machine, so only
// the first execution posts; the next post waits until the machine has been stopped.

// Posts Reset unless one posted earlier has not been acted on yet.
void requestChip8Reset();
// The machine that asked has been stopped: a later exit instruction may post again.
void clearChip8ResetRequest();
bool chip8ResetPending();
