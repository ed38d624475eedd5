// The later Chip-16 instructions: each form's result and flags, the division corner
// cases, PAL's wrap-around, and when the choice and a loaded palette take effect.

#include "chip16/extended_set.h"
#include "display/chip16_display.h"
#include "tests/chip16_test_support.h"

namespace {
// Rn = 0xnn11 for n = 0..F: a register written by mistake shows.
const std::array<std::uint16_t, 16> numberedRegisters = {
    0x0011, 0x1111, 0x2211, 0x3311, 0x4411, 0x5511, 0x6611, 0x7711,
    0x8811, 0x9911, 0xAA11, 0xBB11, 0xCC11, 0xDD11, 0xEE11, 0xFF11};

// A machine with the extended set on, as a start after choosing it leaves it, and its
// registers numbered.
std::unique_ptr<Chip16Machine> extendedMachine() {
    auto m = machineWith(Chip16Program());
    m->extendedInstructions = true;
    m->R = numberedRegisters;
    return m;
}

struct ArithmeticCase {
    const char* form;
    std::uint32_t word; // R1 is x, R2 is y, R3 is z
    std::uint16_t r1, r2;
    int target;
    std::uint16_t result;
    bool zero, negative;
};

// Signed 16-bit values: 0x85AF = -31313, 0xFFF3 = -13, 0x8000 = -32768, 0xFFFF = -1.
const ArithmeticCase arithmeticCases[] = {
    {"MODI 31313 mod 13", 0x000D01A3, 0x7A51, 0, 1, 0x0009, false, false},
    {"MODI by 0", 0x000001A3, 0x1234, 0, 1, 0x0000, true, false},
    {"MOD -31313 mod 13", 0x000021A4, 0x85AF, 0x000D, 1, 0x0004, false, false},
    {"MOD 31313 mod -13", 0x000021A4, 0x7A51, 0xFFF3, 1, 0xFFFC, false, true},
    {"MOD -26 mod 13 (exact)", 0x000021A4, 0xFFE6, 0x000D, 1, 0x0000, true, false},
    {"MOD -32768 mod -1", 0x000021A4, 0x8000, 0xFFFF, 1, 0x0000, true, false},
    {"MOD -31313 mod -13 into R3", 0x000321A5, 0x85AF, 0xFFF3, 3, 0xFFF7, false, true},
    {"MOD by 0 into R3", 0x000321A5, 0x8000, 0x0000, 3, 0x0000, true, false},
    {"REMI -12345 rem 45", 0x002D01A6, 0xCFC7, 0, 1, 0xFFF1, false, true},
    {"REMI by 0", 0x000001A6, 0xFFFF, 0, 1, 0x0000, true, false},
    {"REM 31999 rem -45", 0x000021A7, 0x7CFF, 0xFFD3, 1, 0x0004, false, false},
    {"REM -32768 rem -1", 0x000021A7, 0x8000, 0xFFFF, 1, 0x0000, true, false},
    {"REM -23456 rem -57 into R3", 0x000321A8, 0xA460, 0xFFC7, 3, 0xFFE3, false, true},
    {"REM by 0 into R3", 0x000321A8, 0x0005, 0x0000, 3, 0x0000, true, false},
    {"NOTI 0x1234", 0x123401E0, 0x5555, 0, 1, 0xEDCB, false, true},
    {"NOTI 0xFFFF", 0xFFFF01E0, 0x5555, 0, 1, 0x0000, true, false},
    {"NOT R1", 0x000001E1, 0x4567, 0, 1, 0xBA98, false, true},
    {"NOT R1, R2", 0x000021E2, 0x5555, 0xAFAF, 1, 0x5050, false, false},
    {"NEGI 4660", 0x123401E3, 0x5555, 0, 1, 0xEDCC, false, true},
    {"NEGI 0", 0x000001E3, 0x5555, 0, 1, 0x0000, true, false},
    {"NEG -32123", 0x000001E4, 0x8285, 0, 1, 0x7D7B, false, false},
    {"NEG -32768", 0x000001E4, 0x8000, 0, 1, 0x8000, false, true},
    {"NEG R1, R2 = 32767", 0x000021E5, 0x5555, 0x7FFF, 1, 0x8001, false, true},
};

// 48 bytes 0x10, 0x11, ... 0x3F from `address` on, wrapping past 0xFFFF.
void writeColourBytes(Chip16Machine& m, std::uint16_t address) {
    for (int i = 0; i < 48; ++i) {
        m.memory[static_cast<std::uint16_t>(address + i)] = static_cast<std::uint8_t>(0x10 + i);
    }
}

const std::array<std::uint32_t, 16> colourBytesPalette = {
    0xFF101112, 0xFF131415, 0xFF161718, 0xFF191A1B, 0xFF1C1D1E, 0xFF1F2021, 0xFF222324, 0xFF252627,
    0xFF28292A, 0xFF2B2C2D, 0xFF2E2F30, 0xFF313233, 0xFF343536, 0xFF373839, 0xFF3A3B3C, 0xFF3D3E3F,
};
} // namespace

TEST(Chip16ExtendedSet, ArithmeticFormsWriteTheirRegisterAndOnlyZeroAndNegative) {
    for (const ArithmeticCase& c : arithmeticCases) {
        for (const std::uint8_t carryAndOverflow : {0, 1}) {
            auto m = extendedMachine();
            m->R[1] = c.r1;
            m->R[2] = c.r2;
            m->carry = m->overflow = carryAndOverflow;
            m->zero = !c.zero;
            m->negative = !c.negative;
            auto expected = m->R;
            expected[c.target] = c.result;

            executeChip16Instruction(*m, c.word);
            EXPECT_EQ(m->R, expected) << c.form;
            EXPECT_EQ(ints(m->zero, m->negative, m->carry, m->overflow),
                      ints(c.zero, c.negative, carryAndOverflow, carryAndOverflow))
                << c.form;
        }
    }
}

TEST(Chip16ExtendedSet, SoundFormsAreAcceptedAndChangeNothing) {
    for (const std::uint32_t word : {0x1234050Du, 0xABCD0F0Eu}) {
        auto m = extendedMachine();
        m->carry = m->negative = 1;
        CapturedConsole console;
        executeChip16Instruction(*m, word);
        EXPECT_EQ(m->R, numberedRegisters);
        EXPECT_EQ(ints(m->carry, m->zero, m->overflow, m->negative), ints(1, 0, 0, 1));
        EXPECT_EQ(m->palette[3], 0xFFBF3932u);
        EXPECT_EQ(console.take(), "");
        EXPECT_EQ(m->unknownOpcodeCounts[word & 0xFF], 0u);
    }
}

TEST(Chip16ExtendedSet, PalLoadsSixteenColoursWrappingPastTheTopOfMemory) {
    // PAL 0xFFE0 and PAL R5 with R5 = 0xFFF0: colour 10 straddles 0xFFFF for the first,
    // colour 5 for the second.
    for (const auto& [word, address] :
         {std::pair{0xFFE000D0u, std::uint16_t{0xFFE0}}, {0x000005D1u, std::uint16_t{0xFFF0}}}) {
        auto m = extendedMachine();
        m->R[5] = 0xFFF0;
        const auto registers = m->R;
        m->zero = m->overflow = 1;
        writeColourBytes(*m, address);
        const auto memory = m->memory;

        executeChip16Instruction(*m, word);
        EXPECT_EQ(m->palette, colourBytesPalette) << std::hex << word;
        EXPECT_EQ(m->R, registers);
        EXPECT_EQ(ints(m->carry, m->zero, m->overflow, m->negative), ints(0, 1, 1, 0));
        EXPECT_TRUE(m->memory == memory);
    }
}

TEST(Chip16ExtendedSet, PaletteShowsFromTheNextConversionAndAStartRestoresTheDefault) {
    auto m = extendedMachine();
    m->screen[0] = 3;
    m->screen[1] = 15;
    std::vector<std::uint32_t> texels(std::size_t{720} * 960);
    const auto shown = [&] {
        convertChip16Screen(*m, PixelRows{texels.data(), 960});
        return std::vector<std::uint32_t>{texels[0], texels[3], texels[6]};
    };
    EXPECT_EQ(shown(), (std::vector<std::uint32_t>{0xFFBF3932, 0xFFFFFFFF, 0xFF000000}));

    writeColourBytes(*m, 0x2000);
    executeChip16Instruction(*m, 0x200000D0); // PAL 0x2000
    EXPECT_EQ(shown(), (std::vector<std::uint32_t>{0xFF191A1B, 0xFF3D3E3F, 0xFF101112}));
    m->backgroundColour = 2; // index 0 shows the background's colour of the new palette
    EXPECT_EQ(shown()[2], 0xFF161718u);

    resetChip16(*m);
    EXPECT_EQ((std::vector{m->palette[0], m->palette[3], m->palette[8], m->palette[15]}),
              (std::vector<std::uint32_t>{0xFF000000, 0xFFBF3932, 0xFFEAD979, 0xFFFFFFFF}));
}

// Off (the default), the set's opcodes are unknown like every other unused opcode, which
// the instructions' own test checks; on, the opcodes around the set stay unknown.
TEST(Chip16ExtendedSet, OnTheOpcodesAroundTheSetStayUnknown) {
    ASSERT_FALSE(machineWith(Chip16Program())->extendedInstructions);
    for (const std::uint32_t opcode : {0x0Fu, 0xA9u, 0xD2u, 0xE6u, 0xFFu}) {
        auto m = extendedMachine();
        CapturedConsole console;
        executeChip16Instruction(*m, opcode);
        EXPECT_EQ(m->unknownOpcodeCounts[opcode], 1u) << opcode;
        EXPECT_NE(console.take(), "");
    }
}

// The choice reaches a machine when it is made, and a reset keeps it.
TEST(Chip16ExtendedSet, TheChoiceIsTheMachinesAndSurvivesAReset) {
    Chip16Runtime plain(false);
    Chip16Runtime extended(true);
    for (Chip16Runtime* runtime : {&plain, &extended}) {
        Chip16Machine& m = runtime->machine();
        runtime->load(Chip16Program().image());
        m.R[1] = 0x0001;
        executeChip16Instruction(m, 0x000001E4); // NEG R1
        EXPECT_EQ(m.R[1], runtime == &plain ? 0x0001 : 0xFFFF);
        runtime->reset();
        EXPECT_EQ(m.extendedInstructions, runtime == &extended);
    }
}

// With the later set on, DIV and DIVI divide signed, truncating toward zero, as its test
// program expects (0xCFC7 / 0x20 = -12345 / 32 = 0xFE7F); off, they divide the unsigned
// values as before. Carry says a remainder was left.
TEST(Chip16ExtendedSet, DivisionIsSignedOnlyWithTheLaterSet) {
    const struct {
        const char* form;
        std::uint32_t word; // R1 is x, R2 is y, R3 is z
        std::uint16_t r1, r2;
        int target;
        std::uint16_t signedResult, unsignedResult;
        std::vector<int> signedFlags, unsignedFlags; // carry, zero, negative
    } cases[] = {
        {"DIVI -12345 / 32", 0x002001A0, 0xCFC7, 0, 1, 0xFE7F, 0x067E, {1, 0, 1}, {1, 0, 0}},
        {"DIV -100 / 7", 0x000021A1, 0xFF9C, 0x0007, 1, 0xFFF2, 0x2484, {1, 0, 1}, {0, 0, 0}},
        {"DIV 100 / -5 into R3",
         0x000321A2,
         0x0064,
         0xFFFB,
         3,
         0xFFEC,
         0x0000,
         {0, 0, 1},
         {1, 1, 0}},
        {"DIV -32768 / -1", 0x000021A1, 0x8000, 0xFFFF, 1, 0x0000, 0x0000, {0, 1, 0}, {1, 1, 0}},
        {"DIV by 0", 0x000021A1, 0x8000, 0x0000, 1, 0x0000, 0x0000, {0, 1, 0}, {0, 1, 0}},
    };
    for (const auto& c : cases) {
        for (const bool extended : {false, true}) {
            auto m = extended ? extendedMachine() : machineWith(Chip16Program());
            m->R = numberedRegisters;
            m->R[1] = c.r1;
            m->R[2] = c.r2;
            m->overflow = 1;
            auto expected = m->R;
            expected[c.target] = extended ? c.signedResult : c.unsignedResult;
            executeChip16Instruction(*m, c.word);
            EXPECT_EQ(m->R, expected) << c.form << (extended ? " (signed)" : " (unsigned)");
            EXPECT_EQ(ints(m->carry, m->zero, m->negative, m->overflow),
                      ints((extended ? c.signedFlags : c.unsignedFlags)[0],
                           (extended ? c.signedFlags : c.unsignedFlags)[1],
                           (extended ? c.signedFlags : c.unsignedFlags)[2], 1))
                << c.form << (extended ? " (signed)" : " (unsigned)");
        }
    }
}

// The same as a program: -12345 / 32 and -100 / 7 into R4, signed only with the later set.
TEST(Chip16ExtendedSet, AProgramDividesSignedWithTheLaterSet) {
    Chip16Program p;
    p.ldi(1, 0xCFC7).divi(1, 0x20).ldi(2, 0xFF9C).ldi(3, 7).div(2, 3, 4);
    for (const bool extended : {false, true}) {
        auto m = machineWith(p);
        m->extendedInstructions = extended;
        step(*m, 5);
        EXPECT_EQ(ints(m->R[1], m->R[4]), extended ? ints(0xFE7F, 0xFFF2) : ints(0x067E, 0x2484))
            << (extended ? "signed" : "unsigned");
    }
}
