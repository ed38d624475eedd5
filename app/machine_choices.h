#pragma once
// The user's machine choices (the Machine menu or the command line) as a value: they
// last for the run and reach a machine when it is made, at the next Load or Reset.

#include "chip8/chip8_rules.h"
#include "chip8/chip8_switches.h"
#include "machine/machine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct MachineChoices {
    Chip8Variant variant = Chip8Variant::Quorvix;
    // Automatic: each CHIP-8 ROM's rules come from the programs database (a ROM it does
    // not know runs by the machine's own rules).
    bool automatic = false;
    // The switches the user turned on top of the variant (--quirk, the Custom dialog).
    Chip8SwitchOverrides overrides;
    // Instructions per 1/60 s for the paced variants; 0 = each variant's own speed.
    std::uint32_t speed = 0;
    // Degrees clockwise the CHIP-8 picture is turned; nothing = as the programs
    // database says under Automatic, else not at all.
    std::optional<std::uint16_t> rotation;
    bool chip16Extended = false;
    // Skip CHIP-8 frames in which the last sprite drawn erased a pixel.
    bool flickerFilter = false;
    // Hold the machine to real time (60 frames or ticks a second); a headless run at
    // full speed turns it off.
    bool realTimePacing = true;
};

// What a CHIP-8 start runs by.
struct Chip8Plan {
    // The variant named in the log: the chosen one, or the one of the program's platform.
    Chip8Variant variant = Chip8Variant::Quorvix;
    // Whether the programs database chose the rules.
    bool fromDatabase = false;
    // The variant's (or the database's) rules before the user's switches and speed.
    Chip8Rules baseRules{};
    // What the machine runs by: the base rules with the user's switches, at the chosen
    // speed when they are paced.
    Chip8Rules rules{};
    std::uint16_t rotation = 0;
};

// The plan for a CHIP-8 start. Under Automatic the ROM's bytes (when they could be read)
// are looked up in the programs database, and the log names the program, or says that
// the database does not know it.
Chip8Plan planChip8Start(const MachineChoices& choices,
                         std::optional<std::span<const std::uint8_t>> rom);

// The rules of the chosen variant with the chosen switches, at the chosen speed when the
// rules are paced (no ROM looked up).
Chip8Rules chip8RulesChosen(const MachineChoices& choices);

// When the machine about to start (`kind`) runs by a choice other than its default, logs
// "Variant: <name>", the switches that differ from that variant's ("Switches: clip=off,
// ..."), "Speed: <n> instructions per 1/60 s" after a chosen or database speed and
// "Rotation: <n> degrees" for a turned picture.
void logMachineChoices(MachineKind kind, const MachineChoices& choices, const Chip8Plan& plan);

// A stopped machine of that kind, made by the choices (a CHIP-8 one by the plan);
// nothing loaded yet.
std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices,
                                     const Chip8Plan& plan);
std::unique_ptr<Machine> makeMachine(MachineKind kind, const MachineChoices& choices);
