#pragma once
// The user's machine choices (the Machine menu or the command line) as a value: they
// last for the run and reach a machine when it is made, at the next Load or Reset.

#include "chip8/chip8_rules.h"
#include "machine/machine.h"

#include <cstdint>
#include <memory>

struct MachineChoices {
    Chip8Variant variant = Chip8Variant::Quorvix;
    // Instructions per 1/60 s for the paced variants; 0 = each variant's own speed.
    std::uint32_t speed = 0;
    bool chip16Extended = false;
    // Skip CHIP-8 frames in which the last sprite drawn erased a pixel.
    bool flickerFilter = false;
    // Hold the machine to real time (60 frames or ticks a second); a headless run at
    // full speed turns it off.
    bool realTimePacing = true;
};

// The rules of the chosen variant, at the chosen speed when the variant is paced.
Chip8Rules chip8RulesChosen(const MachineChoices& choices);

// When the machine about to start (`kind`) runs by a choice other than its default,
// logs "Variant: <name>", and "Speed: <n> instructions per 1/60 s" after a chosen speed.
void logMachineChoices(MachineKind kind, const MachineChoices& choices);

// A stopped machine of that kind, made by the choices; nothing loaded yet.
std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices);
