#include "app/execute_step.h"

#include "chip16/chip16_machine.h"
#include "chip16/run_loop.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "machine/machine_settings.h"

void executeStep() {
    switch (EmulatorMode.load(std::memory_order_relaxed)) {
    case MachineKind::Chip8: runChip8Batch(chip8); break;
    case MachineKind::Chip16: runChip16Batch(chip16); break;
    }
}
