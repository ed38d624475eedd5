#pragma once

// The step function of every "tExecute" worker: reads EmulatorMode once, then runs one
// batch of 1000 iterations of that machine.
void executeStep();
