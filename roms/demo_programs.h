#pragma once
// The demo programs shipped with Quorvix, as ROM file contents.

#include <cstdint>
#include <vector>

// SCHIP, high resolution: a ball bounces below the title, W A S D (keys 5 7 8 9) steer
// a ship, and the big digit in the corner shows the last keypad key pressed.
std::vector<std::uint8_t> chip8DemoRom();

// XO-CHIP, high resolution, all four colours: the title in plane 1, a plane-1 and a
// plane-2 block that overlap, a plane-2 band, and a ball drawn in both planes (a plane-1
// core in a plane-2 ring) that bounces beside them.
std::vector<std::uint8_t> xoChipDemoRom();

// Chip-16: three gems bounce below the title; the arrows move the ship, A (C) mirrors
// it, B (V) changes the background while held, Start (Z) brings the ship home.
std::vector<std::uint8_t> chip16DemoRom();
