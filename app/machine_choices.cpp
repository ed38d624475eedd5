#include "app/machine_choices.h"

#include "app/emulator_state.h"
#include "chip16/extended_set.h"
#include "chip8/chip8_machine.h"
#include "platform/console_log.h"

void applyMachineChoices(MachineKind kind) {
    const Chip8Variant variant = chip8VariantChosen.load();
    chip8.rules = chip8RulesFor(variant);
    const std::uint32_t speed = chip8SpeedChosen.load();
    const bool speedApplies = speed != 0 && chip8.rules.instructionsPerTick != 0;
    if (speedApplies) {
        chip8.rules.instructionsPerTick = speed;
    }
    const bool chip16Extended = chip16ExtendedChosen.load();
    chooseChip16ExtendedSet(chip16Extended);
    if (kind == MachineKind::Chip8 && variant != Chip8Variant::Quorvix) {
        logMessage("Variant: %s", chip8VariantName(variant));
        if (speedApplies) {
            logMessage("Speed: %u instructions per 1/60 s", speed);
        }
    } else if (kind == MachineKind::Chip16 && chip16Extended) {
        logMessage("Variant: Chip-16 Extended Instructions");
    }
}
