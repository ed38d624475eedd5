#include "app/machine_choices.h"

#include "app/emulator_state.h"
#include "chip8/chip8_machine.h"
#include "platform/console_log.h"

void applyMachineChoices(MachineKind kind) {
    const Chip8Variant variant = chip8VariantChosen.load();
    chip8.rules = chip8RulesFor(variant);
    const bool chip16Extended = chip16ExtendedChosen.load();
    // The Chip-16 extended instruction set's machine switch is set here from
    // chip16Extended once the Chip-16 machine has it.
    if (kind == MachineKind::Chip8 && variant != Chip8Variant::Quorvix) {
        logMessage("Variant: %s", chip8VariantName(variant));
    } else if (kind == MachineKind::Chip16 && chip16Extended) {
        logMessage("Variant: Chip-16 Extended Instructions");
    }
}
