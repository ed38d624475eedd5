#pragma once
// The Chip-16 screen instructions that do more than set a field: clearing and drawing.

#include "chip16/chip16_machine.h"

#include <cstdint>

// Every pixel 0 and the background colour back to 0; sprite size and flips stay.
void clearChip16Screen(Chip16Machine& m);

// Draws the current sprite (spriteWidth x spriteHeight bytes at `address`) with its
// top-left corner at (x, y), both read as signed 16-bit numbers, clipped at the screen
// edges, mirrored by the flip flags; nibble 0 is transparent. carry = 1 when a drawn
// pixel lands on a non-zero one. Sprite data that would run past 0xFFFF is refused
// with a message and nothing is drawn.
void drawChip16Sprite(Chip16Machine& m, std::uint16_t x, std::uint16_t y, std::uint16_t address);
