#pragma once
// The CHIP-8 sprite rule in its plainest form, one sprite bit and one buffer cell at a
// time, kept as the reference the machine's word-wise drawing is compared with. No lock,
// no log: only the cells, eraseFlag and VF.

#include "chip8/chip8_machine.h"

#include <cstdint>

void drawChip8SpritePlainly(Chip8State& machine, std::uint8_t vx, std::uint8_t vy, std::uint8_t n);
