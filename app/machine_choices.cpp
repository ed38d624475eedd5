#include "app/machine_choices.h"

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "platform/console_log.h"

namespace {
bool speedApplies(const MachineChoices& choices) {
    return choices.speed != 0 && chip8RulesFor(choices.variant).instructionsPerTick != 0;
}
} // namespace

Chip8Rules chip8RulesChosen(const MachineChoices& choices) {
    Chip8Rules rules = chip8RulesFor(choices.variant);
    if (speedApplies(choices)) {
        rules.instructionsPerTick = choices.speed;
    }
    return rules;
}

void logMachineChoices(MachineKind kind, const MachineChoices& choices) {
    if (kind == MachineKind::Chip8 && choices.variant != Chip8Variant::Quorvix) {
        logMessage("Variant: %s", chip8VariantName(choices.variant));
        if (speedApplies(choices)) {
            logMessage("Speed: %u instructions per 1/60 s", choices.speed);
        }
    } else if (kind == MachineKind::Chip16 && choices.chip16Extended) {
        logMessage("Variant: Chip-16 Extended Instructions");
    }
}

std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices) {
    std::unique_ptr<Machine> machine;
    if (kind == MachineKind::Chip16) {
        auto chip16 = std::make_unique<Chip16Runtime>(choices.chip16Extended);
        chip16->machine().framePacing = choices.realTimePacing;
        machine = std::move(chip16);
    } else {
        auto chip8 = std::make_unique<Chip8Runtime>(chip8RulesChosen(choices));
        chip8->machine().tickPacing = choices.realTimePacing;
        machine = std::move(chip8);
    }
    machine->setFlickerFilter(choices.flickerFilter);
    return machine;
}
