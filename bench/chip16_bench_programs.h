#pragma once
// The Chip-16 programs the executor and its floor are measured on.

#include "tools/program_builders/chip16_program.h"

#include <cstdint>
#include <tuple>

// A game's logic between frames: arithmetic with flags, compares and conditional
// jumps, loads and stores, the stack, a call, multiply and divide, shifts; with
// `withSprite`, an 8 x 8 sprite drawn once round the loop's longer path.
inline Chip16Program mixedChip16Program(bool withSprite) {
    constexpr std::uint16_t loop = 0x0010;
    constexpr std::uint16_t helper = 0x0200;
    constexpr std::uint16_t skip = 0x0100;
    Chip16Program p;
    p.ldi(0, 0).ldi(1, 3).ldi(2, 0x1234).spr(4, 8);
    p.at(loop)
        .addi(0, 1)
        .add(1, 0)
        .sub(2, 1, 3)
        .xor_(4, 2)
        .and_(4, 1, 5)
        .shl(5, 3)
        .sar(2, 1)
        .stm(0, 0x3000)
        .ldm(6, 0x3000)
        .mov(7, 6)
        .muli(7, 3)
        .divi(7, 5)
        .push(7)
        .pop(8)
        .cmp(8, 7)
        .jx(Chip16Condition::NZ, loop)
        .call(helper)
        .tsti(0, 1)
        .jx(Chip16Condition::Z, skip)
        .ori(9, 0x10)
        .jmp(loop);
    p.at(skip).addi(10, 1);
    if (withSprite) {
        p.andi(0, 0xFF).andi(1, 0x7F).drw(0, 1, 0x4000);
    }
    p.jmp(loop);
    p.at(helper).pushF().cmpi(0, 0x4000).popF().ret();
    p.at(0x4000);
    for (int i = 0; i < 32; ++i) {
        p.data({static_cast<std::uint8_t>(0x10 * (i % 16) + 1)});
    }
    return p;
}

// A sprite-heavy frame: narrow sprites drawn row by row, 5 bytes x 10 rows and 2 bytes
// x 40 rows, each in all four flips, at positions that move on after every draw and
// stay on the screen.
inline Chip16Program narrowSpritesChip16Program() {
    constexpr std::uint16_t loop = 0x0010;
    constexpr std::uint16_t wide = 0x4000;
    constexpr std::uint16_t tall = 0x4100;
    Chip16Program p;
    p.ldi(0, 0).ldi(1, 0);
    p.at(loop);
    for (const auto& [bytes, rows, address] :
         {std::tuple{5u, 10u, wide}, std::tuple{2u, 40u, tall}}) {
        p.spr(bytes, rows);
        for (const bool horizontal : {false, true}) {
            for (const bool vertical : {false, true}) {
                p.flip(horizontal, vertical).drw(0, 1, address);
                p.addi(0, 37).andi(0, 0xFF).addi(1, 23).andi(1, 0x7F);
            }
        }
    }
    p.jmp(loop);
    p.at(wide);
    for (int i = 0; i < 5 * 10; ++i) {
        p.data({static_cast<std::uint8_t>(i % 7 == 0 ? 0 : 0x10 * (i % 16) + (i % 5))});
    }
    p.at(tall);
    for (int i = 0; i < 2 * 40; ++i) {
        p.data({static_cast<std::uint8_t>(i % 3 == 0 ? 0x0F : 0x21 + i)});
    }
    return p;
}
