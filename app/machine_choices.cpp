#include "app/machine_choices.h"

#include "app/chip16_runtime.h"
#include "app/chip8_runtime.h"
#include "chip8/program_database.h"
#include "platform/console_log.h"

namespace {
// Automatic: the ROM's entry in the programs database, or the machine's own rules for a
// ROM it does not know or a platform no variant here runs; the log says which.
Chip8Plan planFromDatabase(std::span<const std::uint8_t> rom) {
    const RomIdentity identity = identifyChip8Rom(rom);
    if (identity.entry == nullptr) {
        logMessage("Program: not in the programs database; running by Quorvix rules");
        return {};
    }
    const std::string program = describeProgram(*identity.entry);
    const auto chosen = rulesForProgram(*identity.entry);
    if (!chosen) {
        logMessage("Program: %s, a platform Quorvix does not run; running by Quorvix rules",
                   program.c_str());
        return {};
    }
    logMessage("Program: %s", program.c_str());
    Chip8Plan plan;
    plan.variant = chosen->base;
    plan.fromDatabase = true;
    plan.baseRules = chosen->rules;
    plan.rotation = identity.entry->rotation;
    return plan;
}
} // namespace

Chip8Plan planChip8Start(const MachineChoices& choices,
                         std::optional<std::span<const std::uint8_t>> rom) {
    Chip8Plan plan;
    if (choices.automatic && rom) {
        plan = planFromDatabase(*rom);
    } else if (!choices.automatic) {
        plan.variant = choices.variant;
        plan.baseRules = chip8RulesFor(choices.variant);
    }
    plan.rules = withChip8Overrides(plan.baseRules, choices.overrides);
    if (choices.speed != 0 && plan.rules.instructionsPerTick != 0) {
        plan.rules.instructionsPerTick = choices.speed;
    }
    if (choices.rotation) {
        plan.rotation = *choices.rotation;
    }
    return plan;
}

Chip8Rules chip8RulesChosen(const MachineChoices& choices) {
    return planChip8Start(choices, std::nullopt).rules;
}

void logMachineChoices(MachineKind kind, const MachineChoices& choices, const Chip8Plan& plan) {
    if (kind == MachineKind::Chip16) {
        if (choices.chip16Extended) {
            logMessage("Variant: Chip-16 Extended Instructions");
        }
        return;
    }
    if (plan.variant != Chip8Variant::Quorvix || plan.fromDatabase) {
        logMessage("Variant: %s", chip8VariantName(plan.variant));
    }
    const Chip8Rules variantRules = chip8RulesFor(plan.variant);
    const std::string changes = describeChip8SwitchChanges(variantRules, plan.rules);
    if (!changes.empty()) {
        logMessage("Switches: %s", changes.c_str());
    }
    const bool speedChosen = choices.speed != 0 && plan.rules.instructionsPerTick != 0;
    if (speedChosen || plan.rules.instructionsPerTick != variantRules.instructionsPerTick) {
        logMessage("Speed: %u instructions per 1/60 s", plan.rules.instructionsPerTick);
    }
    if (plan.rotation != 0) {
        logMessage("Rotation: %u degrees", unsigned{plan.rotation});
    }
}

std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices,
                                     const Chip8Plan& plan) {
    std::unique_ptr<Machine> machine;
    if (kind == MachineKind::Chip16) {
        auto chip16 = std::make_unique<Chip16Runtime>(choices.chip16Extended);
        chip16->machine().framePacing = choices.realTimePacing;
        machine = std::move(chip16);
    } else {
        auto chip8 = std::make_unique<Chip8Runtime>(plan.rules, plan.rotation);
        chip8->machine().tickPacing = choices.realTimePacing;
        machine = std::move(chip8);
    }
    machine->setFlickerFilter(choices.flickerFilter);
    return machine;
}

std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices) {
    return makeMachine(kind, choices, planChip8Start(choices, std::nullopt));
}
