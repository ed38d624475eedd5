#pragma once
// The operations that change the CHIP-8 picture, run by the interpreter on "tExecute".
// The buffer is always 128 x 64; in low resolution one CHIP-8 pixel is a 2 x 2 block.

#include <cstddef>
#include <cstdint>

struct Chip8Machine;

// Dxyn: draws n rows of sprite data from I at (vx, vy), or a 16-row sprite for n = 0
// (16 x 16 in high resolution; 8 x 16 in low, or 16 x 16 when the rules say so),
// wrapping at every edge or, when the rules clip, dropping what lies past it. It draws
// into each selected plane, plane 2's sprite bytes following plane 1's; VF = 1 when a
// lit pixel of any of them was turned off. Holds the "tRender" mutex from before
// eraseFlag is cleared until VF holds the result, unless a paced tick holds it already.
void drawChip8Sprite(Chip8Machine& machine, std::uint8_t vx, std::uint8_t vy, std::uint8_t n);

// 00E0, 00Cn, 00Dn, 00FB and 00FC, on the selected planes only. They take no lock and
// leave eraseFlag alone; distances are buffer pixels in both resolutions, or whole
// CHIP-8 pixels in low resolution when the rules say so.
void clearChip8Screen(Chip8Machine& machine);
void scrollChip8Down(Chip8Machine& machine, std::uint8_t rows);
void scrollChip8Up(Chip8Machine& machine, std::uint8_t rows);
void scrollChip8Right(Chip8Machine& machine);
void scrollChip8Left(Chip8Machine& machine);

// Clears and scrolls move the buffer in blocks of the widest store the processor has:
// 64, 32, 16 or 8 cells. Tests pick each width in turn (0: the widest again); false, and
// nothing changes, for a width this processor or build does not have. Only while no
// worker runs.
bool useChip8ScreenBlocks(std::size_t cells);
