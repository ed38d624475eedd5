#pragma once
// The rule switches by name, so that a user can turn each one (the command line's
// --quirk NAME=on|off, the Custom dialog). Overrides are applied on top of a variant's
// rules.

#include "chip8/chip8_rules.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct Chip8Switch {
    // The command-line name, e.g. "clip".
    const char* name;
    // What "on" means, for the dialog and --help.
    const char* label;
    bool (*read)(const Chip8Rules& rules);
    void (*write)(Chip8Rules& rules, bool on);
};

// Every switch, in the order the dialog shows them. "display-wait-lores-only" on
// implies a display wait, so it follows "display-wait".
std::span<const Chip8Switch> chip8Switches();
std::optional<std::size_t> findChip8Switch(std::string_view name);

// The switches a user turned: bit i of `chosen` says switch i was set, bit i of `on`
// which way.
struct Chip8SwitchOverrides {
    std::uint32_t chosen = 0;
    std::uint32_t on = 0;

    void set(std::size_t index, bool value);
    bool operator==(const Chip8SwitchOverrides&) const = default;
};

Chip8Rules withChip8Overrides(Chip8Rules rules, const Chip8SwitchOverrides& overrides);

// The overrides that turn `base` into `wanted`, for the switches that differ.
Chip8SwitchOverrides chip8OverridesBetween(const Chip8Rules& base, const Chip8Rules& wanted);

// "NAME=on" or "NAME=off"; nothing for an unknown name or any other value.
std::optional<std::pair<std::size_t, bool>> parseChip8Quirk(std::string_view text);

// The switches that differ between the rule sets, as "name=on, name=off" in table
// order; empty when none does.
std::string describeChip8SwitchChanges(const Chip8Rules& base, const Chip8Rules& rules);

// Every switch name, separated by ", ".
std::string chip8SwitchNames();
