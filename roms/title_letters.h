#pragma once
// The letters of "QUORVIX", 5 x 7 pixels each, for the demos' titles.

#include <array>
#include <cstdint>
#include <vector>

using LetterRows = std::array<const char*, 7>;

inline constexpr std::array<LetterRows, 7> titleLetters = {{
    {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}, // Q
    {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}, // U
    {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}, // O
    {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}, // R
    {"#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."}, // V
    {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}, // I
    {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}, // X
}};

// A letter as a CHIP-8 sprite: 7 rows, the letter in the high 5 bits.
inline std::vector<std::uint8_t> letterSprite(const LetterRows& rows) {
    std::vector<std::uint8_t> bytes;
    for (const char* row : rows) {
        std::uint8_t bits = 0;
        for (int column = 0; column < 5; ++column) {
            bits |= row[column] == '#' ? std::uint8_t(0x80 >> column) : 0;
        }
        bytes.push_back(bits);
    }
    return bytes;
}
