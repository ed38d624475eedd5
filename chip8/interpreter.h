#pragma once

// The Chip-8 branch of executeStep: 1000 iterations of timer update and one
// instruction on the process's Chip-8 machine.
void runChip8Batch();
