#include "chip8/disassembler.h"

#include <cstdio>

namespace {
template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[40];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

Chip8Disassembly known(std::string text) {
    return {std::move(text), 2, true};
}

Chip8Disassembly unknown(std::uint16_t opcode) {
    return {format("DW 0x%04X", opcode), 2, false};
}

Chip8Disassembly system(std::uint16_t opcode, const Chip8Rules& rules) {
    const unsigned n = opcode & 0xF;
    if ((opcode & 0xFFF0) == 0x00C0) {
        return known(format("SCD %u", n));
    }
    if (rules.xoChipInstructions && (opcode & 0xFFF0) == 0x00D0) {
        return known(format("SCU %u", n));
    }
    switch (opcode) {
    case 0x00E0: return known("CLS");
    case 0x00EE: return known("RET");
    case 0x00FB: return known("SCR");
    case 0x00FC: return known("SCL");
    case chip8ExitOpcode: return known("EXIT");
    case 0x00FE: return known("LOW");
    case 0x00FF: return known("HIGH");
    default: return unknown(opcode);
    }
}

Chip8Disassembly arithmetic(std::uint16_t opcode, unsigned x, unsigned y) {
    static const char* const names[16] = {"LD",    "OR",    "AND",   "XOR",   "ADD",   "SUB",
                                          "SHR",   "SUBN",  nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, "SHL",   nullptr};
    const char* name = names[opcode & 0xF];
    return name != nullptr ? known(format("%s V%X, V%X", name, x, y)) : unknown(opcode);
}

Chip8Disassembly misc(std::uint16_t opcode, std::uint16_t next, unsigned x,
                      const Chip8Rules& rules) {
    if (rules.xoChipInstructions) {
        switch (opcode & 0xFF) {
        case 0x00:
            if (x == 0) {
                return {format("LD I, 0x%04X", next), 4, true};
            }
            break;
        case 0x01: return known(format("PLANE %u", x & 3));
        case 0x02:
            if (x == 0) {
                return known("AUDIO");
            }
            break;
        case 0x3A: return known(format("PITCH V%X", x));
        default: break;
        }
    }
    switch (opcode & 0xFF) {
    case 0x07: return known(format("LD V%X, DT", x));
    case 0x0A: return known(format("LD V%X, K", x));
    case 0x15: return known(format("LD DT, V%X", x));
    case 0x18: return known(format("LD ST, V%X", x));
    case 0x1E: return known(format("ADD I, V%X", x));
    case 0x29: return known(format("LD F, V%X", x));
    case 0x30: return known(format("LD HF, V%X", x));
    case 0x33: return known(format("LD B, V%X", x));
    case 0x55: return known(format("LD [I], V%X", x));
    case 0x65: return known(format("LD V%X, [I]", x));
    case 0x75: return known(format("LD R, V%X", x));
    case 0x85: return known(format("LD V%X, R", x));
    default: return unknown(opcode);
    }
}
} // namespace

Chip8Disassembly disassembleChip8(std::uint16_t opcode, std::uint16_t next,
                                  const Chip8Rules& rules) {
    const unsigned x = (opcode >> 8) & 0xF;
    const unsigned y = (opcode >> 4) & 0xF;
    const unsigned n = opcode & 0xF;
    const unsigned kk = opcode & 0xFF;
    const unsigned nnn = opcode & 0xFFF;
    switch (opcode >> 12) {
    case 0x0: return system(opcode, rules);
    case 0x1: return known(format("JP 0x%03X", nnn));
    case 0x2: return known(format("CALL 0x%03X", nnn));
    case 0x3: return known(format("SE V%X, 0x%02X", x, kk));
    case 0x4: return known(format("SNE V%X, 0x%02X", x, kk));
    case 0x5:
        if (n == 0) {
            return known(format("SE V%X, V%X", x, y));
        }
        if (rules.xoChipInstructions && (n == 2 || n == 3)) {
            return known(format(n == 2 ? "SAVE V%X - V%X" : "LOAD V%X - V%X", x, y));
        }
        return unknown(opcode);
    case 0x6: return known(format("LD V%X, 0x%02X", x, kk));
    case 0x7: return known(format("ADD V%X, 0x%02X", x, kk));
    case 0x8: return arithmetic(opcode, x, y);
    case 0x9: return n == 0 ? known(format("SNE V%X, V%X", x, y)) : unknown(opcode);
    case 0xA: return known(format("LD I, 0x%03X", nnn));
    case 0xB:
        return known(rules.jumpAddsVx ? format("JP V%X, 0x%03X", x, nnn)
                                      : format("JP V0, 0x%03X", nnn));
    case 0xC: return known(format("RND V%X, 0x%02X", x, kk));
    case 0xD: return known(format("DRW V%X, V%X, %u", x, y, n));
    case 0xE:
        if (kk == 0x9E) {
            return known(format("SKP V%X", x));
        }
        return kk == 0xA1 ? known(format("SKNP V%X", x)) : unknown(opcode);
    default: return misc(opcode, next, x, rules);
    }
}
