#pragma once
// The Chip-16 controller: which key-map entry drives each button and where the button
// sits in the controller byte the machine reads at 0xFFF0.

#include <array>
#include <cstdint>

struct Chip16ControllerButton {
    const char* name;
    // Index into Chip16Machine::keyMap, which holds the PC key's virtual-key code.
    int keyMapEntry;
    std::uint8_t mask;
};

inline constexpr std::array<Chip16ControllerButton, 8> chip16ControllerButtons = {{
    {"up", 16, 0x01},
    {"down", 17, 0x02},
    {"left", 18, 0x04},
    {"right", 19, 0x08},
    {"select", 22, 0x10},
    {"start", 23, 0x20},
    {"a", 20, 0x40},
    {"b", 21, 0x80},
}};
