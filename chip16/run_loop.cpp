#include "chip16/run_loop.h"

void runChip16Batch() {}
