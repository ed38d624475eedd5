#include "tests/chip16_test_support.h"

#include <map>
#include <set>
#include <sstream>

namespace {
// One instruction at 0x0100 on a machine whose registers and flags are 0, SP 0xFDF0,
// then the case's setup. Afterwards exactly the listed parts differ from the setup;
// PC is 0x0104 unless listed. Words: "R1=1234" register, "[3000]=BEEF" memory word,
// "CZON=1001" carry, zero, overflow, negative, "pc=", "sp=", "bg=" background colour,
// "sw="/"sh=" sprite width/height, "fh="/"fv=" flips, "vb=" vertical blank,
// "@10,20=3" screen pixel (column, row decimal, colour). Values are hex.
struct OpcodeCase {
    std::uint8_t bytes[4];
    const char* setup;
    const char* expected;
};

// Writes the words of a setup or an expectation into the machine.
void apply(Chip16Machine& m, const char* text) {
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::string key = word.substr(0, word.find('='));
        const std::string value = word.substr(word.find('=') + 1);
        const int n = key == "CZON" ? 0 : std::stoi(value, nullptr, 16);
        if (key[0] == 'R') {
            m.R[std::stoul(key.substr(1), nullptr, 16)] = std::uint16_t(n);
        } else if (key[0] == '[') {
            writeChip16Word(m, std::uint16_t(std::stoul(key.substr(1), nullptr, 16)),
                            std::uint16_t(n));
        } else if (key[0] == '@') {
            const std::size_t comma = key.find(',');
            m.screen[std::stoul(key.substr(comma + 1)) * 320 + std::stoul(key.substr(1))] =
                std::uint8_t(n);
        } else if (key == "CZON") {
            unpackChip16Flags(m, std::uint16_t((value[0] - '0') << 1 | (value[1] - '0') << 2 |
                                               (value[2] - '0') << 6 | (value[3] - '0') << 7));
        } else if (key == "pc" || key == "sp") {
            (key == "pc" ? m.pc : m.sp) = std::uint16_t(n);
        } else if (key == "sw" || key == "sh") {
            (key == "sw" ? m.spriteWidth : m.spriteHeight) = n;
        } else {
            const std::map<std::string, std::uint8_t*> bytes = {{"bg", &m.backgroundColour},
                                                                {"fh", &m.flipHorizontal},
                                                                {"fv", &m.flipVertical},
                                                                {"vb", &m.vblank}};
            *bytes.at(key) = std::uint8_t(n);
        }
    }
}

// A machine with the instruction at 0x0100, PC at `pc`, SP 0xFDF0 and the words applied.
std::unique_ptr<Chip16Machine> machineAt(std::uint16_t pc, const std::uint8_t (&bytes)[4],
                                         std::initializer_list<const char*> texts) {
    auto m = std::make_unique<Chip16Machine>();
    std::copy(std::begin(bytes), std::end(bytes), m->memory.begin() + 0x0100);
    m->pc = pc;
    m->sp = 0xFDF0;
    for (const char* text : texts) {
        apply(*m, text);
    }
    return m;
}

std::vector<int> visibleState(const Chip16Machine& m) {
    std::vector<int> parts(m.R.begin(), m.R.end());
    parts.insert(parts.end(),
                 {m.pc, m.sp, m.carry, m.zero, m.overflow, m.negative, m.backgroundColour,
                  m.spriteWidth, m.spriteHeight, m.flipHorizontal, m.flipVertical, m.vblank});
    return parts;
}
} // namespace

TEST(Chip16Instructions, EveryOpcodeChangesExactlyWhatItShould) {
    const OpcodeCase cases[] = {
        {{0x00, 0x21, 0x34, 0x12}, "R1=1234 CZON=1111", ""},          // NOP
        {{0x01, 0x00, 0x00, 0x00}, "bg=5 @10,20=7", "bg=0 @10,20=0"}, // CLS
        {{0x02, 0x00, 0x00, 0x00}, "", "pc=0100"},                    // VBLNK waits
        {{0x02, 0x00, 0x00, 0x00}, "vb=1", ""},
        {{0x03, 0x00, 0x0A, 0x00}, "", "bg=A"},      // BGC
        {{0x04, 0x00, 0x03, 0x05}, "", "sw=3 sh=5"}, // SPR
        // DRW R1, R2, 0x3000 and DRW R1, R2, R3: a 4 x 1 sprite 1 2 3 4 at (10, 20); a
        // pixel already lit under a non-zero one sets carry, colour 0 leaves the screen.
        {{0x05, 0x21, 0x00, 0x30},
         "R1=A R2=14 sw=2 sh=1 [3000]=3412 @11,20=9 R0=1000",
         "@10,20=1 @11,20=2 @12,20=3 @13,20=4 CZON=1000"},
        {{0x06, 0x21, 0x03, 0x00},
         "R1=A R2=14 R3=3000 sw=2 sh=1 [3000]=0402 @10,20=9 @12,20=5 CZON=1000",
         "@10,20=9 @11,20=2 @12,20=5 @13,20=4 CZON=0000"},
        {{0x07, 0x01, 0x00, 0x00}, "R1=5555", "R1=0"},   // RND R1, 0
        {{0x08, 0x00, 0x00, 0x02}, "fv=1", "fh=1 fv=0"}, // FLIP
        {{0x08, 0x00, 0x00, 0x01}, "fh=1", "fh=0 fv=1"},
        {{0x09, 0x00, 0x00, 0x00}, "", ""}, // SND0-SND3: no sound
        {{0x0A, 0x00, 0xF4, 0x01}, "", ""},
        {{0x0B, 0x00, 0xF4, 0x01}, "", ""},
        {{0x0C, 0x21, 0xF4, 0x01}, "", ""},
        {{0x10, 0x00, 0x34, 0x12}, "", "pc=1234"},          // JMP
        {{0x11, 0x00, 0x34, 0x12}, "CZON=1000", "pc=1234"}, // JMC
        {{0x11, 0x00, 0x34, 0x12}, "CZON=0111", ""},
        {{0x12, 0x00, 0x34, 0x12}, "CZON=0100", "pc=1234"}, // JZ
        {{0x12, 0x01, 0x34, 0x12}, "CZON=0100", ""},        // JNZ
        {{0x13, 0x21, 0x34, 0x12}, "R1=5 R2=5", "pc=1234"}, // JME
        {{0x13, 0x21, 0x34, 0x12}, "R1=5 R2=6", ""},
        {{0x14, 0x00, 0x34, 0x12}, "", "pc=1234 sp=FDF2 [FDF0]=0104"},            // CALL
        {{0x15, 0x00, 0x00, 0x00}, "sp=FDF2 [FDF0]=0ABC", "pc=0ABC sp=FDF0"},     // RET
        {{0x16, 0x01, 0x34, 0x12}, "R1=0456", "pc=0456"},                         // JMP R1
        {{0x17, 0x00, 0x34, 0x12}, "CZON=0100", "pc=1234 sp=FDF2 [FDF0]=0104"},   // CZ
        {{0x17, 0x01, 0x34, 0x12}, "CZON=0100", ""},                              // CNZ
        {{0x18, 0x01, 0x34, 0x12}, "R1=0456", "pc=0456 sp=FDF2 [FDF0]=0104"},     // CALL R1
        {{0x20, 0x01, 0x34, 0x12}, "", "R1=1234"},                                // LDI R1
        {{0x21, 0x00, 0x34, 0x12}, "", "sp=1234"},                                // LDI SP
        {{0x22, 0x21, 0x00, 0x30}, "R2=2000 [3000]=BEEF [2000]=1111", "R1=BEEF"}, // LDM imm
        {{0x23, 0x21, 0x00, 0x20}, "R2=3000 [3000]=BEEF [2000]=1111", "R1=BEEF"}, // LDM R2
        {{0x24, 0x21, 0x00, 0x00}, "R1=1111 R2=ABCD", "R1=ABCD"},                 // MOV
        {{0x30, 0x21, 0x00, 0x30}, "R1=ABCD R2=2000", "[3000]=ABCD"},             // STM imm
        {{0x31, 0x21, 0x00, 0x20}, "R1=ABCD R2=3000", "[3000]=ABCD"},             // STM R2
        // Arithmetic: X = R1, Y = R2 or the immediate, Z = R3.
        {{0x40, 0x01, 0x01, 0x00}, "R1=7FFF", "R1=8000 CZON=0011"},
        {{0x41, 0x21, 0x00, 0x00}, "R1=FFFF R2=1", "R1=0 CZON=1100"},
        {{0x42, 0x21, 0x03, 0x00}, "R1=8000 R2=FFFF", "R3=7FFF CZON=1010"},
        {{0x50, 0x01, 0x01, 0x00}, "R1=0", "R1=FFFF CZON=1001"},
        // Overflow is that of X + NEG(Y); for Y = 0x8000, its own negation, it is the
        // opposite of the textbook subtraction overflow.
        {{0x50, 0x01, 0x00, 0x80}, "R1=0", "R1=8000 CZON=1001"},
        {{0x50, 0x01, 0x00, 0x80}, "R1=8000", "R1=0 CZON=0110"},
        {{0x51, 0x21, 0x00, 0x00}, "R1=FFFF R2=8000", "R1=7FFF CZON=0010"},
        {{0x51, 0x21, 0x00, 0x00}, "R1=5 R2=5", "R1=0 CZON=0100"},
        {{0x52, 0x21, 0x03, 0x00}, "R1=8000 R2=1", "R3=7FFF CZON=0010"},
        {{0x53, 0x01, 0xFF, 0xFF}, "R1=7FFF", "CZON=1011"},
        {{0x54, 0x21, 0x00, 0x00}, "R1=3 R2=5", "CZON=1001"},
        {{0x90, 0x01, 0x00, 0x01}, "R1=0100 CZON=0010", "R1=0 CZON=1110"},
        {{0x91, 0x21, 0x00, 0x00}, "R1=3 R2=5", "R1=F"},
        {{0x92, 0x21, 0x03, 0x00}, "R1=FFFF R2=FFFF", "R3=1 CZON=1000"},
        {{0xA0, 0x01, 0x02, 0x00}, "R1=7", "R1=3 CZON=1000"},
        {{0xA1, 0x21, 0x00, 0x00}, "R1=FFFF R2=1 CZON=0010", "CZON=0011"},
        {{0xA2, 0x21, 0x03, 0x00}, "R1=1234 R2=0 R3=5555", "R3=0 CZON=0100"},
        // Logic and shifts keep carry and overflow.
        {{0x60, 0x01, 0xF0, 0x0F}, "R1=F0F0 CZON=1111", "R1=00F0 CZON=1010"},
        {{0x61, 0x21, 0x00, 0x00}, "R1=5555 R2=AAAA", "R1=0 CZON=0100"},
        {{0x62, 0x21, 0x03, 0x00}, "R1=8001 R2=8000", "R3=8000 CZON=0001"},
        {{0x63, 0x01, 0xAA, 0xAA}, "R1=5555", "CZON=0100"},
        {{0x64, 0x21, 0x00, 0x00}, "R1=8000 R2=8000", "CZON=0001"},
        {{0x70, 0x01, 0x01, 0x00}, "R1=8000", "R1=8001 CZON=0001"},
        {{0x71, 0x21, 0x00, 0x00}, "CZON=0001", "CZON=0100"},
        {{0x72, 0x21, 0x03, 0x00}, "R1=0F00 R2=00F0", "R3=0FF0"},
        {{0x80, 0x01, 0x34, 0x12}, "R1=1234", "R1=0 CZON=0100"},
        {{0x81, 0x21, 0x00, 0x00}, "R1=FFFF R2=0F0F", "R1=F0F0 CZON=0001"},
        {{0x82, 0x21, 0x03, 0x00}, "R1=00FF R2=0F0F", "R3=0FF0"},
        {{0xB0, 0x01, 0x0F, 0x00}, "R1=1 CZON=1010", "R1=8000 CZON=1011"},
        {{0xB1, 0x01, 0x0F, 0x00}, "R1=8000", "R1=1"},
        {{0xB2, 0x01, 0x0F, 0x00}, "R1=8000", "R1=FFFF CZON=0001"},
        {{0xB3, 0x21, 0x00, 0x00}, "R1=1234 R2=14", "R1=2340"}, // count: Y's low nibble
        {{0xB4, 0x21, 0x00, 0x00}, "R1=8000 R2=F", "R1=1"},
        {{0xB5, 0x21, 0x00, 0x00}, "R1=4000 R2=1E", "R1=1"},
        // Stack: grows upwards from SP.
        {{0xC0, 0x01, 0x00, 0x00}, "R1=ABCD", "[FDF0]=ABCD sp=FDF2"},
        {{0xC1, 0x01, 0x00, 0x00}, "sp=FDF2 [FDF0]=ABCD", "R1=ABCD sp=FDF0"},
        {{0xC2, 0x00, 0x00, 0x00}, "R0=1 R1=2 RF=F", "[FDF0]=1 [FDF2]=2 [FE0E]=F sp=FE10"},
        {{0xC3, 0x00, 0x00, 0x00}, "sp=FE10 [FDF0]=1 [FDF2]=2 [FE0E]=F", "R0=1 R1=2 RF=F sp=FDF0"},
        {{0xC4, 0x00, 0x00, 0x00}, "CZON=1111", "[FDF0]=00C6 sp=FDF2"},
        {{0xC5, 0x00, 0x00, 0x00}, "sp=FDF2 [FDF0]=FF44", "CZON=0110 sp=FDF0"},
    };
    for (const OpcodeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "opcode " << int(c.bytes[0]) << ": "
                                        << c.setup << " -> " << c.expected);
        const auto m = machineAt(0x0100, c.bytes, {c.setup});
        const auto expected = machineAt(0x0104, c.bytes, {c.setup, c.expected});
        step(*m);
        EXPECT_EQ(visibleState(*m), visibleState(*expected))
            << "R0-RF, pc, sp, C Z O N, bg, sprite w h, flip h v, vblank";
        EXPECT_TRUE(m->memory == expected->memory) << "memory";
        EXPECT_TRUE(m->screen == expected->screen) << "screen";
    }
}

TEST(Chip16Instructions, ConditionCodesAfterCmpMatchTheUnsignedAndSignedRelations) {
    const std::uint16_t values[] = {0x0000, 0x0001, 0x1234, 0x7FFF, 0x8001, 0xFFFF};
    for (const std::uint16_t a : values) {
        for (const std::uint16_t b : values) {
            const int sa = std::int16_t(a), sb = std::int16_t(b), difference = sa - sb;
            const bool z = a == b, n = (a - b) & 0x8000, o = difference != std::int16_t(difference);
            // Z NZ N NN P O NO A AE B BE G GE L LE, and 15: never.
            // clang-format off
            const bool holds[16] = {z, !z, n, !n, !n && !z, o, !o, a > b, a >= b, a < b, a <= b,
                                    sa > sb, sa >= sb, sa < sb, sa <= sb, false};
            // clang-format on
            for (unsigned condition = 0; condition < 16; ++condition) {
                const auto code = Chip16Condition(condition);
                auto m = machineWith(Chip16Program().cmp(1, 2).jx(code, 0x0200).cx(code, 0x0300));
                m->R[1] = a;
                m->R[2] = b;
                step(*m, 2);
                EXPECT_EQ(m->pc, holds[condition] ? 0x0200 : 8)
                    << a << " " << b << " " << condition;
                m->pc = 8;
                step(*m);
                EXPECT_EQ(m->sp, holds[condition] ? 0xFDF2 : 0xFDF0) << "Cx pushes only to call";
            }
        }
    }
}

// Words at 0xFFFF continue at 0x0000: a store, a load with X = Y (through the old
// address), push and pop, and an instruction fetched across the end.
TEST(Chip16Instructions, WordsAndTheStackWrapAtTheEndOfMemory) {
    auto m = machineWith(Chip16Program().stm(1, 0xFFFF).ldmR(2, 2).push(1).pop(3).jmp(0xFFFE));
    m->R[1] = 0xABCD;
    m->R[2] = m->sp = 0xFFFF;
    step(*m, 4);
    EXPECT_EQ(m->memory[0xFFFF] | m->memory[0] << 8, 0xABCD);
    EXPECT_EQ(m->R[2] + m->R[3] + m->sp, 2 * 0xABCD + 0xFFFF);
    m->memory[0xFFFE] = 0x20; // LDI R7, 0x1234 across the end
    m->memory[0xFFFF] = 0x07;
    writeChip16Word(*m, 0x0000, 0x1234);
    step(*m, 2);
    EXPECT_EQ(m->R[7] + m->pc, 0x1234 + 2);
}

TEST(Chip16Instructions, RndDrawsFromZeroToItsImmediateWithFifteenBits) {
    // VBLNK is checked where the vertical blank is raised: in the run loop.
    std::set<std::uint16_t> seen;
    for (int i = 0; i < 300; ++i) {
        auto m = machineWith(Chip16Program().rnd(1, 0).rnd(2, 9).rnd(3, 0xFFFF));
        m->R[1] = 0x5555;
        step(*m, 3);
        EXPECT_EQ(m->R[1], 0);
        EXPECT_LE(m->R[3], 32767);
        seen.insert(m->R[2]);
    }
    EXPECT_EQ(seen, (std::set<std::uint16_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(Chip16Instructions, UnknownOpcodesAreReportedCountedAndChangeNothingElse) {
    // Known opcodes per high nibble: 0x00-0x0C, 0x10-0x18, 0x20-0x24, ... 0xC0-0xC5.
    const int knownPerRow[16] = {13, 9, 5, 2, 3, 5, 5, 3, 3, 3, 3, 6, 6, 0, 0, 0};
    CapturedConsole console;
    for (int opcode = 0; opcode < 256; ++opcode) {
        auto m =
            machineWith(Chip16Program().at(0x0100).raw(std::uint8_t(opcode), 0x21, 0x34, 0x12));
        m->pc = 0x0100;
        m->R.fill(0x0303);
        const auto memory = m->memory;
        step(*m);
        char unknown[80];
        std::snprintf(unknown, sizeof unknown,
                      "Chip-16 Error: Unknown Opcode Called! [pc=0100][123421%02x]\n", opcode);
        const bool known = (opcode & 0xF) < knownPerRow[opcode >> 4];
        EXPECT_EQ(console.take(), known ? "" : unknown) << opcode;
        if (known) {
            continue;
        }
        EXPECT_EQ(m->unknownOpcodeCounts[opcode], 1u);
        EXPECT_EQ(m->pc + m->sp, 0x0104 + 0xFDF0);
        EXPECT_EQ(std::count(m->R.begin(), m->R.end(), 0x0303), 16);
        EXPECT_EQ(m->carry + m->zero + m->overflow + m->negative + m->backgroundColour, 0);
        EXPECT_TRUE(m->memory == memory);
    }
}
