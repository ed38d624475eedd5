#include "app/execute_step.h"

#include "app/emulator_state.h"
#include "chip16/run_loop.h"
#include "chip8/interpreter.h"

void executeStep() {
    switch (EmulatorMode.load(std::memory_order_relaxed)) {
    case MachineKind::Chip8: runChip8Batch(); break;
    case MachineKind::Chip16: runChip16Batch(); break;
    }
}
