#include "chip8/interpreter.h"

void runChip8Batch() {}
