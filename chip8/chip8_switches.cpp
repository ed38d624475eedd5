#include "chip8/chip8_switches.h"

#include <array>

namespace {
template <bool Chip8Rules::*Flag>
constexpr Chip8Switch flagSwitch(const char* name, const char* label) {
    return {name, label, [](const Chip8Rules& rules) { return rules.*Flag; },
            [](Chip8Rules& rules, bool on) { rules.*Flag = on; }};
}

bool readDisplayWait(const Chip8Rules& rules) {
    return rules.displayWait != Chip8DisplayWait::Never;
}

// Turned on, a wait that is off waits in both resolutions; a wait already on stays as
// it is.
void writeDisplayWait(Chip8Rules& rules, bool on) {
    if (!on) {
        rules.displayWait = Chip8DisplayWait::Never;
    } else if (rules.displayWait == Chip8DisplayWait::Never) {
        rules.displayWait = Chip8DisplayWait::Always;
    }
}

bool readLowResolutionWait(const Chip8Rules& rules) {
    return rules.displayWait == Chip8DisplayWait::LowResolutionOnly;
}

void writeLowResolutionWait(Chip8Rules& rules, bool on) {
    if (on) {
        rules.displayWait = Chip8DisplayWait::LowResolutionOnly;
    } else if (rules.displayWait == Chip8DisplayWait::LowResolutionOnly) {
        rules.displayWait = Chip8DisplayWait::Always;
    }
}

const std::array<Chip8Switch, 14> switches = {
    flagSwitch<&Chip8Rules::logicResetsVF>("logic-resets-vf", "8xy1, 8xy2, 8xy3 set VF to 0"),
    flagSwitch<&Chip8Rules::loadStoreMovesI>("load-store-moves-i",
                                             "Fx55, Fx65 move I past the registers"),
    flagSwitch<&Chip8Rules::loadStoreMovesIByX>("load-store-by-x",
                                                "Fx55, Fx65 move I by x only (I + x)"),
    flagSwitch<&Chip8Rules::shiftReadsVy>("shift-vy", "8xy6, 8xyE shift Vy into Vx"),
    flagSwitch<&Chip8Rules::jumpAddsVx>("jump-vx", "Bxnn jumps to xnn + Vx"),
    flagSwitch<&Chip8Rules::clipsSprites>("clip", "Sprites are clipped at the screen edges"),
    flagSwitch<&Chip8Rules::flagLast>("flag-last", "8xy4-8xyE write VF last"),
    flagSwitch<&Chip8Rules::addToILeavesVF>("fx1e-leaves-vf", "Fx1E leaves VF unchanged"),
    flagSwitch<&Chip8Rules::wideLowResolutionSprite>("wide-lores-dxy0",
                                                     "Dxy0 draws 16 x 16 in low resolution"),
    {"display-wait", "A draw waits for the next display refresh", readDisplayWait,
     writeDisplayWait},
    {"display-wait-lores-only", "... in low resolution only", readLowResolutionWait,
     writeLowResolutionWait},
    flagSwitch<&Chip8Rules::wholePixelLowResolutionScroll>(
        "whole-pixel-scroll", "Scrolls move whole pixels in low resolution"),
    flagSwitch<&Chip8Rules::resolutionSwitchClears>("mode-switch-clears",
                                                    "00FE, 00FF clear the screen"),
    flagSwitch<&Chip8Rules::keyWaitEndsOnRelease>("fx0a-on-release",
                                                  "Fx0A completes when the key is released"),
};
} // namespace

std::span<const Chip8Switch> chip8Switches() {
    return switches;
}

std::optional<std::size_t> findChip8Switch(std::string_view name) {
    for (std::size_t i = 0; i < switches.size(); ++i) {
        if (name == switches[i].name) {
            return i;
        }
    }
    return std::nullopt;
}

void Chip8SwitchOverrides::set(std::size_t index, bool value) {
    const std::uint32_t bit = std::uint32_t{1} << index;
    chosen |= bit;
    on = value ? on | bit : on & ~bit;
}

Chip8Rules withChip8Overrides(Chip8Rules rules, const Chip8SwitchOverrides& overrides) {
    for (std::size_t i = 0; i < switches.size(); ++i) {
        if ((overrides.chosen >> i) & 1u) {
            switches[i].write(rules, ((overrides.on >> i) & 1u) != 0);
        }
    }
    return rules;
}

Chip8SwitchOverrides chip8OverridesBetween(const Chip8Rules& base, const Chip8Rules& wanted) {
    Chip8SwitchOverrides overrides;
    for (std::size_t i = 0; i < switches.size(); ++i) {
        const bool on = switches[i].read(wanted);
        if (switches[i].read(base) != on) {
            overrides.set(i, on);
        }
    }
    return overrides;
}

std::optional<std::pair<std::size_t, bool>> parseChip8Quirk(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const auto index = findChip8Switch(text.substr(0, equals));
    const std::string_view value = text.substr(equals + 1);
    if (!index || (value != "on" && value != "off")) {
        return std::nullopt;
    }
    return std::pair{*index, value == "on"};
}

std::string describeChip8SwitchChanges(const Chip8Rules& base, const Chip8Rules& rules) {
    std::string text;
    for (const Chip8Switch& each : switches) {
        const bool on = each.read(rules);
        if (each.read(base) != on) {
            text += (text.empty() ? "" : ", ") + std::string(each.name) + (on ? "=on" : "=off");
        }
    }
    return text;
}

std::string chip8SwitchNames() {
    std::string text;
    for (const Chip8Switch& each : switches) {
        text += (text.empty() ? "" : ", ") + std::string(each.name);
    }
    return text;
}
