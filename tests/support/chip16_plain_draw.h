#pragma once
// The Chip-16 sprite rule in its plainest form, one pixel at a time over the part of the
// sprite on the screen, kept as the reference the machine's word-wise drawing is
// compared with. Sprite data past the end of memory draws nothing (the machine also
// logs it).

#include "chip16/chip16_machine.h"

#include <cstdint>

void drawChip16SpritePlainly(Chip16Machine& m, std::uint16_t x, std::uint16_t y,
                             std::uint16_t address);
