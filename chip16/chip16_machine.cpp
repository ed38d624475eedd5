#include "chip16/chip16_machine.h"

Chip16Machine chip16;

const std::array<std::uint8_t, 32> Chip16Machine::keyMap = {
    0,    0,    0,    0,    0, 0, 0,    0,    0,    0,
    0,    0,    0,    0,    0, 0, 0x26, 0x28, 0x25, 0x27, // Up, Down, Left, Right arrows
    0x43, 0x56, 0x58, 0x5A,                               // C (A), V (B), X (Select), Z (Start)
};
