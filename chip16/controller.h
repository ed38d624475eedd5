#pragma once
// The Chip-16 controller: each button's name and where it sits in the controller byte
// the machine reads at 0xFFF0 (the machine's own key number is the bit's index).

#include <array>
#include <cstdint>

struct Chip16ControllerButton {
    const char* name;
    std::uint8_t mask;
};

inline constexpr std::array<Chip16ControllerButton, 8> chip16ControllerButtons = {{
    {"up", 0x01},
    {"down", 0x02},
    {"left", 0x04},
    {"right", 0x08},
    {"select", 0x10},
    {"start", 0x20},
    {"a", 0x40},
    {"b", 0x80},
}};
