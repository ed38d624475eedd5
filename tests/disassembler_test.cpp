// The disassemblers: every instruction form of CHIP-8, SUPER-CHIP, XO-CHIP and Chip-16
// (the later set included) with its exact text, and "unknown" exactly where the
// machines report an unknown opcode.

#include "chip16/chip16_machine.h"
#include "chip16/disassembler.h"
#include "chip16/instructions.h"
#include "chip8/chip8_machine.h"
#include "chip8/disassembler.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "platform/headless/headless_host.h"
#include "tests/support/captured_console.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
struct Chip8Case {
    std::uint16_t opcode;
    const char* text;
};

std::string chip8Text(std::uint16_t opcode, const Chip8Rules& rules, std::uint16_t next = 0) {
    return disassembleChip8(opcode, next, rules).text;
}

// The instructions every rule set runs: CHIP-8 and the SUPER-CHIP additions.
TEST(Chip8DisassemblerTest, EveryChip8AndSuperChipFormReadsAsItsMnemonic) {
    const Chip8Case cases[] = {
        {0x00E0, "CLS"},           {0x00EE, "RET"},          {0x00C0, "SCD 0"},
        {0x00C7, "SCD 7"},         {0x00FB, "SCR"},          {0x00FC, "SCL"},
        {0x00FD, "EXIT"},          {0x00FE, "LOW"},          {0x00FF, "HIGH"},
        {0x1ABC, "JP 0xABC"},      {0x2204, "CALL 0x204"},   {0x3A12, "SE VA, 0x12"},
        {0x4B0F, "SNE VB, 0x0F"},  {0x5120, "SE V1, V2"},    {0x6C7F, "LD VC, 0x7F"},
        {0x7D01, "ADD VD, 0x01"},  {0x8010, "LD V0, V1"},    {0x8121, "OR V1, V2"},
        {0x8232, "AND V2, V3"},    {0x8343, "XOR V3, V4"},   {0x8454, "ADD V4, V5"},
        {0x8565, "SUB V5, V6"},    {0x8676, "SHR V6, V7"},   {0x8787, "SUBN V7, V8"},
        {0x889E, "SHL V8, V9"},    {0x9AB0, "SNE VA, VB"},   {0xA123, "LD I, 0x123"},
        {0xB345, "JP V0, 0x345"},  {0xC4FF, "RND V4, 0xFF"}, {0xD125, "DRW V1, V2, 5"},
        {0xDEF0, "DRW VE, VF, 0"}, {0xE59E, "SKP V5"},       {0xE6A1, "SKNP V6"},
        {0xF107, "LD V1, DT"},     {0xF20A, "LD V2, K"},     {0xF315, "LD DT, V3"},
        {0xF418, "LD ST, V4"},     {0xF51E, "ADD I, V5"},    {0xF629, "LD F, V6"},
        {0xF730, "LD HF, V7"},     {0xF833, "LD B, V8"},     {0xF955, "LD [I], V9"},
        {0xFA65, "LD VA, [I]"},    {0xF775, "LD R, V7"},     {0xF385, "LD V3, R"},
    };
    // (The SUPER-CHIP rule sets read Bnnn differently; see below.)
    for (const Chip8Variant variant :
         {Chip8Variant::Quorvix, Chip8Variant::Chip8, Chip8Variant::XoChip}) {
        const Chip8Rules rules = chip8RulesFor(variant);
        for (const Chip8Case& c : cases) {
            const Chip8Disassembly d = disassembleChip8(c.opcode, 0xFFFF, rules);
            EXPECT_EQ(d.text, c.text) << std::hex << c.opcode;
            EXPECT_TRUE(d.known) << std::hex << c.opcode;
            EXPECT_EQ(d.length, 2) << std::hex << c.opcode;
        }
    }
    // Where the rules jump to xnn + Vx, the register is the high nibble of nnn.
    EXPECT_EQ(chip8Text(0xB345, chip8RulesFor(Chip8Variant::SuperChipModern)), "JP V3, 0x345");
}

TEST(Chip8DisassemblerTest, XoChipFormsReadOnlyUnderItsRules) {
    const Chip8Rules xo = chip8RulesFor(Chip8Variant::XoChip);
    const Chip8Disassembly longLoad = disassembleChip8(0xF000, 0xBEEF, xo);
    EXPECT_EQ(longLoad.text, "LD I, 0xBEEF");
    EXPECT_EQ(longLoad.length, 4);
    const Chip8Case cases[] = {
        {0x00D3, "SCU 3"},    {0x5122, "SAVE V1 - V2"}, {0x5E43, "LOAD VE - V4"},
        {0xF301, "PLANE 3"},  {0xF001, "PLANE 0"},      {0xF002, "AUDIO"},
        {0xF53A, "PITCH V5"},
    };
    for (const Chip8Case& c : cases) {
        EXPECT_EQ(chip8Text(c.opcode, xo), c.text) << std::hex << c.opcode;
        const Chip8Disassembly other = disassembleChip8(c.opcode, 0, quorvixRules);
        EXPECT_FALSE(other.known) << std::hex << c.opcode;
    }
    const Chip8Disassembly plain = disassembleChip8(0xF000, 0xBEEF, quorvixRules);
    EXPECT_EQ(plain.text, "DW 0xF000");
    EXPECT_EQ(plain.length, 2) << "no long load without XO-CHIP";
    // Only F000 is the long load, only F002 the pattern load.
    EXPECT_EQ(chip8Text(0xF100, xo), "DW 0xF100");
    EXPECT_EQ(chip8Text(0xF102, xo), "DW 0xF102");
}

TEST(Chip8DisassemblerTest, OpcodesOfNoFormReadAsData) {
    for (const std::uint16_t opcode :
         {0x0000, 0x0123, 0x00E1, 0x5121, 0x8008, 0x800F, 0x9001, 0xE19F, 0xF1FF}) {
        const Chip8Disassembly d = disassembleChip8(opcode, 0, quorvixRules);
        EXPECT_FALSE(d.known) << std::hex << opcode;
    }
    EXPECT_EQ(chip8Text(0x0123, quorvixRules), "DW 0x0123");
    EXPECT_EQ(chip8Text(0x800F, quorvixRules), "DW 0x800F");
}

// Every one of the 65,536 opcodes: the disassembler calls it unknown exactly when the
// interpreter reports it so, under the rules with and without XO-CHIP.
TEST(Chip8DisassemblerTest, UnknownExactlyWhereTheInterpreterReportsIt) {
    CapturedConsole console;
    for (const Chip8Variant variant : {Chip8Variant::Quorvix, Chip8Variant::XoChip}) {
        auto m = std::make_unique<Chip8Machine>();
        m->rules = chip8RulesFor(variant);
        resetChip8Machine(*m);
        int mismatches = 0;
        for (std::uint32_t opcode = 0; opcode <= 0xFFFF && mismatches < 5; ++opcode) {
            m->pc = 0x300;
            m->sp = 0;
            executeChip8Instruction(*m, static_cast<std::uint16_t>(opcode));
            const bool reported =
                CapturedConsole::take().find("Unknown Instruction") != std::string::npos;
            const bool known =
                disassembleChip8(static_cast<std::uint16_t>(opcode), 0, m->rules).known;
            if (known == reported) {
                ADD_FAILURE() << chip8VariantOption(variant) << " " << std::hex << opcode;
                ++mismatches;
            }
            clearChip8ResetRequest(*m);
        }
    }
    headless::takePostedCommands();
}

struct Chip16Case {
    std::array<std::uint8_t, 4> bytes;
    const char* text;
};

std::string chip16Text(std::array<std::uint8_t, 4> bytes, bool extended) {
    return disassembleChip16(bytes, extended).text;
}

TEST(Chip16DisassemblerTest, EveryFormReadsAsItsMnemonic) {
    const Chip16Case cases[] = {
        {{0x00, 0, 0, 0}, "NOP"},
        {{0x01, 0, 0, 0}, "CLS"},
        {{0x02, 0, 0, 0}, "VBLNK"},
        {{0x03, 0, 0x0C, 0}, "BGC 12"},
        {{0x04, 0, 0x08, 0x10}, "SPR 0x1008"},
        {{0x05, 0x21, 0x00, 0x10}, "DRW R1, R2, 0x1000"},
        {{0x06, 0x21, 0x03, 0}, "DRW R1, R2, R3"},
        {{0x07, 0x04, 0xFF, 0x00}, "RND R4, 0x00FF"},
        {{0x08, 0, 0, 0x02}, "FLIP 1, 0"},
        {{0x08, 0, 0, 0x01}, "FLIP 0, 1"},
        {{0x09, 0, 0, 0}, "SND0"},
        {{0x0A, 0, 0xF4, 0x01}, "SND1 0x01F4"},
        {{0x0B, 0, 0x64, 0x00}, "SND2 0x0064"},
        {{0x0C, 0, 0x0A, 0x00}, "SND3 0x000A"},
        {{0x10, 0, 0x34, 0x12}, "JMP 0x1234"},
        {{0x11, 0, 0x34, 0x12}, "JMC 0x1234"},
        {{0x12, 0x00, 0x34, 0x12}, "JZ 0x1234"},
        {{0x12, 0x01, 0x34, 0x12}, "JNZ 0x1234"},
        {{0x12, 0x02, 0, 0}, "JN 0x0000"},
        {{0x12, 0x03, 0, 0}, "JNN 0x0000"},
        {{0x12, 0x04, 0, 0}, "JP 0x0000"},
        {{0x12, 0x05, 0, 0}, "JO 0x0000"},
        {{0x12, 0x06, 0, 0}, "JNO 0x0000"},
        {{0x12, 0x07, 0, 0}, "JA 0x0000"},
        {{0x12, 0x08, 0, 0}, "JAE 0x0000"},
        {{0x12, 0x09, 0, 0}, "JB 0x0000"},
        {{0x12, 0x0A, 0, 0}, "JBE 0x0000"},
        {{0x12, 0x0B, 0, 0}, "JG 0x0000"},
        {{0x12, 0x0C, 0, 0}, "JGE 0x0000"},
        {{0x12, 0x0D, 0, 0}, "JL 0x0000"},
        {{0x12, 0x0E, 0, 0}, "JLE 0x0000"},
        {{0x12, 0x0F, 0x34, 0x12}, "JX 15, 0x1234"},
        {{0x13, 0x21, 0x00, 0x02}, "JME R1, R2, 0x0200"},
        {{0x14, 0, 0x00, 0x01}, "CALL 0x0100"},
        {{0x15, 0, 0, 0}, "RET"},
        {{0x16, 0x05, 0, 0}, "JMP R5"},
        {{0x17, 0x09, 0x00, 0x03}, "CB 0x0300"},
        {{0x17, 0x0F, 0x00, 0x03}, "CX 15, 0x0300"},
        {{0x18, 0x0E, 0, 0}, "CALL RE"},
        {{0x20, 0x03, 0x34, 0x12}, "LDI R3, 0x1234"},
        {{0x21, 0, 0xF0, 0xFD}, "LDI SP, 0xFDF0"},
        {{0x22, 0x01, 0x00, 0x20}, "LDM R1, 0x2000"},
        {{0x23, 0x21, 0, 0}, "LDM R1, R2"},
        {{0x24, 0xBA, 0, 0}, "MOV RA, RB"},
        {{0x30, 0x0F, 0x00, 0x30}, "STM RF, 0x3000"},
        {{0x31, 0x10, 0, 0}, "STM R0, R1"},
        {{0x40, 0x03, 0x34, 0x12}, "ADDI R3, 0x1234"},
        {{0x41, 0x21, 0, 0}, "ADD R1, R2"},
        {{0x42, 0x21, 0x03, 0}, "ADD R1, R2, R3"},
        {{0x50, 0x01, 0x01, 0x00}, "SUBI R1, 0x0001"},
        {{0x51, 0x21, 0, 0}, "SUB R1, R2"},
        {{0x52, 0x21, 0x03, 0}, "SUB R1, R2, R3"},
        {{0x53, 0x01, 0x05, 0x00}, "CMPI R1, 0x0005"},
        {{0x54, 0x21, 0, 0}, "CMP R1, R2"},
        {{0x60, 0x01, 0xFF, 0x00}, "ANDI R1, 0x00FF"},
        {{0x61, 0x21, 0, 0}, "AND R1, R2"},
        {{0x62, 0x21, 0x03, 0}, "AND R1, R2, R3"},
        {{0x63, 0x01, 0x01, 0x00}, "TSTI R1, 0x0001"},
        {{0x64, 0x21, 0, 0}, "TST R1, R2"},
        {{0x70, 0x01, 0x00, 0x80}, "ORI R1, 0x8000"},
        {{0x71, 0x21, 0, 0}, "OR R1, R2"},
        {{0x72, 0x21, 0x03, 0}, "OR R1, R2, R3"},
        {{0x80, 0x01, 0xFF, 0xFF}, "XORI R1, 0xFFFF"},
        {{0x81, 0x21, 0, 0}, "XOR R1, R2"},
        {{0x82, 0x21, 0x03, 0}, "XOR R1, R2, R3"},
        {{0x90, 0x01, 0x03, 0x00}, "MULI R1, 0x0003"},
        {{0x91, 0x21, 0, 0}, "MUL R1, R2"},
        {{0x92, 0x21, 0x03, 0}, "MUL R1, R2, R3"},
        {{0xA0, 0x01, 0x02, 0x00}, "DIVI R1, 0x0002"},
        {{0xA1, 0x21, 0, 0}, "DIV R1, R2"},
        {{0xA2, 0x21, 0x03, 0}, "DIV R1, R2, R3"},
        {{0xB0, 0x01, 0x03, 0}, "SHL R1, 3"},
        {{0xB1, 0x01, 0x0F, 0}, "SHR R1, 15"},
        {{0xB2, 0x01, 0x01, 0}, "SAR R1, 1"},
        {{0xB3, 0x21, 0, 0}, "SHL R1, R2"},
        {{0xB4, 0x21, 0, 0}, "SHR R1, R2"},
        {{0xB5, 0x21, 0, 0}, "SAR R1, R2"},
        {{0xC0, 0x07, 0, 0}, "PUSH R7"},
        {{0xC1, 0x07, 0, 0}, "POP R7"},
        {{0xC2, 0, 0, 0}, "PUSHALL"},
        {{0xC3, 0, 0, 0}, "POPALL"},
        {{0xC4, 0, 0, 0}, "PUSHF"},
        {{0xC5, 0, 0, 0}, "POPF"},
    };
    for (const bool extended : {false, true}) {
        for (const Chip16Case& c : cases) {
            const Chip16Disassembly d = disassembleChip16(c.bytes, extended);
            EXPECT_EQ(d.text, c.text) << std::hex << unsigned{c.bytes[0]};
            EXPECT_TRUE(d.known) << std::hex << unsigned{c.bytes[0]};
        }
    }
}

TEST(Chip16DisassemblerTest, LaterFormsReadOnlyWithTheLaterSet) {
    const Chip16Case cases[] = {
        {{0x0D, 0x01, 0x2C, 0x01}, "SNP R1, 0x012C"},
        {{0x0E, 0x12, 0x34, 0x52}, "SNG 0x12, 0x5234"},
        {{0xA3, 0x01, 0x07, 0x00}, "MODI R1, 0x0007"},
        {{0xA4, 0x21, 0, 0}, "MOD R1, R2"},
        {{0xA5, 0x21, 0x03, 0}, "MOD R1, R2, R3"},
        {{0xA6, 0x01, 0x07, 0x00}, "REMI R1, 0x0007"},
        {{0xA7, 0x21, 0, 0}, "REM R1, R2"},
        {{0xA8, 0x21, 0x03, 0}, "REM R1, R2, R3"},
        {{0xD0, 0, 0x00, 0x20}, "PAL 0x2000"},
        {{0xD1, 0x04, 0, 0}, "PAL R4"},
        {{0xE0, 0x01, 0x0F, 0x00}, "NOTI R1, 0x000F"},
        {{0xE1, 0x01, 0, 0}, "NOT R1"},
        {{0xE2, 0x21, 0, 0}, "NOT R1, R2"},
        {{0xE3, 0x01, 0x01, 0x00}, "NEGI R1, 0x0001"},
        {{0xE4, 0x01, 0, 0}, "NEG R1"},
        {{0xE5, 0x21, 0, 0}, "NEG R1, R2"},
    };
    for (const Chip16Case& c : cases) {
        EXPECT_EQ(chip16Text(c.bytes, true), c.text) << std::hex << unsigned{c.bytes[0]};
        EXPECT_FALSE(disassembleChip16(c.bytes, false).known) << std::hex << unsigned{c.bytes[0]};
    }
    EXPECT_EQ(chip16Text({0xD0, 0x00, 0x34, 0x12}, false), "DB 0xD0, 0x00, 0x34, 0x12");
    EXPECT_EQ(chip16Text({0xFF, 0x01, 0x02, 0x03}, true), "DB 0xFF, 0x01, 0x02, 0x03");
}

// Every opcode byte, with and without the later set: unknown exactly where the machine
// counts an unknown opcode.
TEST(Chip16DisassemblerTest, UnknownExactlyWhereTheMachineCountsIt) {
    for (const bool extended : {false, true}) {
        auto m = std::make_unique<Chip16Machine>();
        m->extendedInstructions = extended;
        resetChip16(*m);
        for (unsigned opcode = 0; opcode < 256; ++opcode) {
            m->pc = 0x100;
            m->sp = 0x8000;
            executeChip16Instruction(*m, opcode);
            const bool counted = m->unknownOpcodeCounts[opcode] != 0;
            const bool known =
                disassembleChip16({static_cast<std::uint8_t>(opcode), 0, 0, 0}, extended).known;
            EXPECT_NE(known, counted) << std::hex << opcode << (extended ? " extended" : "");
        }
    }
}
} // namespace
