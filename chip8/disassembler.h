#pragma once
// CHIP-8, SUPER-CHIP and XO-CHIP instructions as text, for the debugger and traces.
// Pure functions of the bytes and the rules: no machine is read.

#include "chip8/chip8_rules.h"

#include <cstdint>
#include <string>

struct Chip8Disassembly {
    std::string text;
    // Bytes the instruction takes: 2, or 4 for XO-CHIP's long load F000 nnnn.
    std::uint8_t length = 2;
    // False for an opcode the interpreter reports as unknown under these rules; the
    // text is then "DW 0x...." (the word as data).
    bool known = true;
};

// The instruction whose first word is `opcode`; `next` is the word after it, read only
// by the long load. Bnnn reads as "JP Vx, 0xnnn" where the rules jump to xnn + Vx.
Chip8Disassembly disassembleChip8(std::uint16_t opcode, std::uint16_t next,
                                  const Chip8Rules& rules);

// The exit instruction, 00FD, whatever the rules.
constexpr std::uint16_t chip8ExitOpcode = 0x00FD;
