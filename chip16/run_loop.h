#pragma once

// The Chip-16 branch of executeStep: 1000 iterations of the run loop on the process's
// Chip-16 machine.
void runChip16Batch();
