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
