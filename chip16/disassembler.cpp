#include "chip16/disassembler.h"

#include <cstdio>

namespace {
template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// The condition names of Jx and Cx by the X field; 15 never holds and has no name.
constexpr const char* conditionNames[16] = {"Z",  "NZ", "N",  "NN", "P",  "O", "NO", "A",
                                            "AE", "B",  "BE", "G",  "GE", "L", "LE", nullptr};

struct Fields {
    unsigned opcode;
    unsigned x;
    unsigned y;
    unsigned z;
    unsigned immediate;
    unsigned ad;
};

// The arithmetic and logic families share their three forms: immediate, two
// registers, three registers (R[Z] = R[X] op R[Y]).
std::string threeForms(const char* name, unsigned form, const Fields& f) {
    switch (form) {
    case 0: return format("%sI R%X, 0x%04X", name, f.x, f.immediate);
    case 1: return format("%s R%X, R%X", name, f.x, f.y);
    default: return format("%s R%X, R%X, R%X", name, f.x, f.y, f.z);
    }
}

std::string conditional(const char* prefix, const Fields& f) {
    const char* condition = conditionNames[f.x];
    return condition != nullptr ? format("%s%s 0x%04X", prefix, condition, f.immediate)
                                : format("%sX 15, 0x%04X", prefix, f.immediate);
}

// The later instructions; empty for any other opcode.
std::string extendedText(const Fields& f) {
    switch (f.opcode) {
    case 0x0D: return format("SNP R%X, 0x%04X", f.x, f.immediate);
    case 0x0E: return format("SNG 0x%02X, 0x%04X", f.ad, f.immediate);
    case 0xA3: return threeForms("MOD", 0, f);
    case 0xA4: return threeForms("MOD", 1, f);
    case 0xA5: return threeForms("MOD", 2, f);
    case 0xA6: return threeForms("REM", 0, f);
    case 0xA7: return threeForms("REM", 1, f);
    case 0xA8: return threeForms("REM", 2, f);
    case 0xD0: return format("PAL 0x%04X", f.immediate);
    case 0xD1: return format("PAL R%X", f.x);
    case 0xE0: return format("NOTI R%X, 0x%04X", f.x, f.immediate);
    case 0xE1: return format("NOT R%X", f.x);
    case 0xE2: return format("NOT R%X, R%X", f.x, f.y);
    case 0xE3: return format("NEGI R%X, 0x%04X", f.x, f.immediate);
    case 0xE4: return format("NEG R%X", f.x);
    case 0xE5: return format("NEG R%X, R%X", f.x, f.y);
    default: return {};
    }
}

std::string controlText(const Fields& f) {
    switch (f.opcode) {
    case 0x00: return "NOP";
    case 0x01: return "CLS";
    case 0x02: return "VBLNK";
    case 0x03: return format("BGC %u", f.z);
    case 0x04: return format("SPR 0x%04X", f.immediate);
    case 0x05: return format("DRW R%X, R%X, 0x%04X", f.x, f.y, f.immediate);
    case 0x06: return format("DRW R%X, R%X, R%X", f.x, f.y, f.z);
    case 0x07: return format("RND R%X, 0x%04X", f.x, f.immediate);
    case 0x08: return format("FLIP %u, %u", (f.immediate >> 9) & 1, (f.immediate >> 8) & 1);
    case 0x09: return "SND0";
    case 0x0A:
    case 0x0B:
    case 0x0C: return format("SND%u 0x%04X", f.opcode - 0x09, f.immediate);
    case 0x10: return format("JMP 0x%04X", f.immediate);
    case 0x11: return format("JMC 0x%04X", f.immediate);
    case 0x12: return conditional("J", f);
    case 0x13: return format("JME R%X, R%X, 0x%04X", f.x, f.y, f.immediate);
    case 0x14: return format("CALL 0x%04X", f.immediate);
    case 0x15: return "RET";
    case 0x16: return format("JMP R%X", f.x);
    case 0x17: return conditional("C", f);
    case 0x18: return format("CALL R%X", f.x);
    case 0x20: return format("LDI R%X, 0x%04X", f.x, f.immediate);
    case 0x21: return format("LDI SP, 0x%04X", f.immediate);
    case 0x22: return format("LDM R%X, 0x%04X", f.x, f.immediate);
    case 0x23: return format("LDM R%X, R%X", f.x, f.y);
    case 0x24: return format("MOV R%X, R%X", f.x, f.y);
    case 0x30: return format("STM R%X, 0x%04X", f.x, f.immediate);
    case 0x31: return format("STM R%X, R%X", f.x, f.y);
    default: return {};
    }
}

std::string arithmeticText(const Fields& f) {
    const unsigned form = f.opcode & 0xF;
    switch (f.opcode >> 4) {
    case 0x4: return form <= 2 ? threeForms("ADD", form, f) : std::string();
    case 0x5:
        if (form <= 2) {
            return threeForms("SUB", form, f);
        }
        return form <= 4 ? threeForms("CMP", form - 3, f) : std::string();
    case 0x6:
        if (form <= 2) {
            return threeForms("AND", form, f);
        }
        return form <= 4 ? threeForms("TST", form - 3, f) : std::string();
    case 0x7: return form <= 2 ? threeForms("OR", form, f) : std::string();
    case 0x8: return form <= 2 ? threeForms("XOR", form, f) : std::string();
    case 0x9: return form <= 2 ? threeForms("MUL", form, f) : std::string();
    case 0xA: return form <= 2 ? threeForms("DIV", form, f) : std::string();
    case 0xB: {
        static constexpr const char* shifts[3] = {"SHL", "SHR", "SAR"};
        if (form <= 2) {
            return format("%s R%X, %u", shifts[form], f.x, f.z);
        }
        return form <= 5 ? format("%s R%X, R%X", shifts[form - 3], f.x, f.y) : std::string();
    }
    default: return {};
    }
}

std::string stackText(const Fields& f) {
    switch (f.opcode) {
    case 0xC0: return format("PUSH R%X", f.x);
    case 0xC1: return format("POP R%X", f.x);
    case 0xC2: return "PUSHALL";
    case 0xC3: return "POPALL";
    case 0xC4: return "PUSHF";
    case 0xC5: return "POPF";
    default: return {};
    }
}
} // namespace

Chip16Disassembly disassembleChip16(const std::array<std::uint8_t, 4>& bytes, bool extended) {
    const Fields f{bytes[0],
                   bytes[1] & 0xFu,
                   unsigned{bytes[1]} >> 4,
                   bytes[2] & 0xFu,
                   bytes[2] | (unsigned{bytes[3]} << 8),
                   bytes[1]};
    std::string text;
    if (f.opcode < 0x40) {
        text = controlText(f);
    } else if (f.opcode < 0xC0) {
        text = arithmeticText(f);
    } else {
        text = stackText(f);
    }
    if (text.empty() && extended) {
        text = extendedText(f);
    }
    if (!text.empty()) {
        return {std::move(text), true};
    }
    return {format("DB 0x%02X, 0x%02X, 0x%02X, 0x%02X", bytes[0], bytes[1], bytes[2], bytes[3]),
            false};
}
