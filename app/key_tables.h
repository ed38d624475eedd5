#pragma once
// Which key of a machine each physical PC key stands for. Keys count by their place on
// the keyboard (the Linux input event code, which X11 and Wayland hand over plus 8 as
// the native scan code), not by the character a layout prints on them.

#include "machine/machine_settings.h"

#include <optional>

// The CHIP-8 keypad on the left block of a US keyboard:
//   1 2 3 4  ->  1 2 3 C
//   Q W E R  ->  4 5 6 D
//   A S D F  ->  7 8 9 E
//   Z X C V  ->  A 0 B F
std::optional<unsigned> chip8KeyOfInputCode(unsigned inputCode);

// The Chip-16 controller: the arrows, Z Start, X Select, C A, V B. The result is the
// button's bit in the controller byte (Up 0, Down 1, Left 2, Right 3, Select 4, Start 5,
// A 6, B 7).
std::optional<unsigned> chip16ButtonOfInputCode(unsigned inputCode);

std::optional<unsigned> machineKeyOfInputCode(MachineKind kind, unsigned inputCode);

// The physical key of a CHIP-8 key (0x0-0xF).
unsigned inputCodeOfChip8Key(unsigned key);
// The physical key of a Chip-16 controller bit (0-7).
unsigned inputCodeOfChip16Button(unsigned button);
