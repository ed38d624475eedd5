#pragma once
// Chip-16 instructions as text, for the debugger and traces. A pure function of the
// four instruction bytes and the instruction set: no machine is read.

#include <array>
#include <cstdint>
#include <string>

struct Chip16Disassembly {
    std::string text;
    // False for an opcode the machine reports as unknown with this instruction set;
    // the text is then "DB" and the four bytes.
    bool known = true;
};

// The instruction of the bytes b0 b1 b2 b3 in memory order. Operands: registers as
// R0-RF, 16-bit immediates and addresses as 0xHHLL, nibble fields (shift counts, the
// colour of BGC) in decimal; FLIP shows its horizontal then its vertical bit; SNG shows
// AD and then VTSR as one word. `extended` chooses the later instructions (MOD, REM,
// NOT, NEG, PAL, SNG, SNP).
Chip16Disassembly disassembleChip16(const std::array<std::uint8_t, 4>& bytes, bool extended);
