#pragma once
// The CHIP-8 program the interpreter and its floor are measured on.

#include "tools/program_builders/chip8_program.h"

#include <cstdint>
#include <vector>

// Register arithmetic, skips, a call and jumps: the mix of a game's logic between draws.
inline std::vector<std::uint8_t> chip8AluProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto loop = p.label();
    const auto helper = p.label();
    p.ld(V0, 0).ld(V1, 3).ld(V2, 0x55).ld(V3, 1);
    p.bind(loop)
        .add(V0, 1)
        .add(V1, V0)
        .xor_(V2, V1)
        .sub(V4, V3)
        .shr(V5, V5)
        .se(V0, 0x80)
        .ld(V6, V2)
        .sne(V1, V2)
        .add(V7, 7)
        .call(helper)
        .jp(loop);
    p.bind(helper).and_(V6, V3).or_(V7, V6).shl(V6, V6).ret();
    return p.bytes();
}

// A screen of text: clear, then eight five-row font digits across one line, most of
// them at columns that are not a multiple of eight.
inline std::vector<std::uint8_t> chip8DigitsProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto loop = p.label();
    p.bind(loop).cls().ld(V2, 3);
    for (std::uint8_t digit = 0; digit < 8; ++digit) {
        p.ld(V0, digit)
            .smallGlyph(V0)
            .ld(V1, static_cast<std::uint8_t>(2 + 7 * digit))
            .drw(V1, V2, 5);
    }
    return p.jp(loop).bytes();
}

// A logo: clear, then six 8 x 15 sprites side by side, the column moved on by an
// add-immediate between them and not always by eight.
inline std::vector<std::uint8_t> chip8LogoProgram() {
    using namespace chip8reg;
    Chip8Program p;
    const auto loop = p.label();
    const auto letters = p.label();
    p.bind(loop).cls().ldi(letters).ld(V0, 12).ld(V1, 8).ld(V3, 15);
    for (int letter = 0; letter < 6; ++letter) {
        p.drw(V0, V1, 15).addI(V3).add(V0, letter % 2 == 0 ? 8 : 9);
    }
    p.jp(loop).bind(letters);
    for (int row = 0; row < 6 * 15; ++row) {
        p.data({static_cast<std::uint8_t>(row % 3 == 0 ? 0xFF : 0x3C + row)});
    }
    return p.bytes();
}
