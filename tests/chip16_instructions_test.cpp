#include "tests/chip16_test_support.h"

#include <set>

namespace {
struct FlagCase {
    std::uint8_t opcode; // the immediate form; the register forms follow it
    std::uint16_t x, y, result;
    const char* flags; // carry, zero, overflow, negative: '0', '1' or '-' (kept)
};

// Runs every form of the case's instruction (X = R1, Y = R2 or the immediate, Z = R3),
// once with all flags 0 and once with all 1 beforehand.
void checkFlagCase(const FlagCase& c) {
    const bool compare = c.opcode == 0x53 || c.opcode == 0x63; // CMPI/CMP, TSTI/TST
    const bool shift = c.opcode >= 0xB0;
    std::vector<int> forms = {0, shift ? 3 : 1}; // opcode offsets; 2 is the X, Y, Z form
    if (!compare && !shift) {
        forms.push_back(2);
    }
    for (const int form : forms) {
        for (const char before : {'0', '1'}) {
            auto m = std::make_unique<Chip16Machine>();
            m->R[1] = c.x;
            m->R[2] = c.y;
            m->R[3] = 0x5A5A;
            m->carry = m->zero = m->overflow = m->negative = before - '0';
            const std::uint32_t operand = form == 0 ? c.y : form == 2 ? 3 : 0;
            executeChip16Instruction(*m, (c.opcode + form) | 0x2100u | operand << 16);

            SCOPED_TRACE(testing::Message() << std::hex << "opcode " << c.opcode + form
                                            << " x=" << c.x << " y=" << c.y << " flags " << before);
            EXPECT_EQ(m->R[form == 2 ? 3 : 1], compare ? c.x : c.result);
            std::string expected = c.flags;
            std::replace(expected.begin(), expected.end(), '-', before);
            const char flags[] = {char('0' + m->carry), char('0' + m->zero),
                                  char('0' + m->overflow), char('0' + m->negative), 0};
            EXPECT_EQ(flags, expected) << "CZON";
        }
    }
}
} // namespace

TEST(Chip16Instructions, FlagRulesForEveryArithmeticLogicAndShiftForm) {
    const FlagCase cases[] = {
        // Add: carry out of bit 15, overflow when equal signs give another sign.
        {0x40, 0x7FFF, 0x0001, 0x8000, "0011"},
        {0x40, 0xFFFF, 0x0001, 0x0000, "1100"},
        {0x40, 0x8000, 0xFFFF, 0x7FFF, "1010"},
        // Subtract: borrow in carry; overflow is that of X + NEG(Y), which for Y = 0x8000
        // (its own negation) is the opposite of the textbook subtraction overflow.
        {0x50, 0x0000, 0x0001, 0xFFFF, "1001"},
        {0x50, 0x0005, 0x0005, 0x0000, "0100"},
        {0x50, 0x8000, 0x0001, 0x7FFF, "0010"},
        {0x50, 0x0000, 0x8000, 0x8000, "1001"},
        {0x50, 0xFFFF, 0x8000, 0x7FFF, "0010"},
        {0x50, 0x8000, 0x8000, 0x0000, "0110"},
        {0x53, 0x7FFF, 0xFFFF, 0, "1011"},
        // Multiply and divide keep overflow; carry is product > 0xFFFF, remainder != 0.
        {0x90, 0x0100, 0x0100, 0x0000, "11-0"},
        {0x90, 0x0003, 0x0005, 0x000F, "00-0"},
        {0x90, 0xFFFF, 0xFFFF, 0x0001, "10-0"},
        {0xA0, 0x0007, 0x0002, 0x0003, "10-0"},
        {0xA0, 0xFFFF, 0x0001, 0xFFFF, "00-1"},
        {0xA0, 0x1234, 0x0000, 0x0000, "01-0"}, // division by zero
        // Logic and shifts keep carry and overflow; a shift count is Y's low nibble only.
        {0x60, 0xF0F0, 0x0FF0, 0x00F0, "-0-0"},
        {0x63, 0x5555, 0xAAAA, 0, "-1-0"},
        {0x70, 0x8000, 0x0001, 0x8001, "-0-1"},
        {0x80, 0x1234, 0x1234, 0x0000, "-1-0"},
        {0xB0, 0x0001, 0x00FF, 0x8000, "-0-1"},
        {0xB0, 0x1234, 0xFFF0, 0x1234, "-0-0"},
        {0xB1, 0x8000, 0x000F, 0x0001, "-0-0"},
        {0xB2, 0x8000, 0x000F, 0xFFFF, "-0-1"},
        {0xB2, 0x4000, 0x001E, 0x0001, "-0-0"},
    };
    for (const FlagCase& c : cases) {
        checkFlagCase(c);
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

TEST(Chip16Instructions, CallsReturnsAndTheStackWrappingAtTheEndOfMemory) {
    Chip16Program program;
    program.at(0x0100).call(0x0200).pushAll().popAll().pushF().popF().popF();
    program.at(0x0200).ret();
    auto m = machineWith(program);
    m->pc = 0x0100;
    step(*m, 2);
    EXPECT_EQ(readChip16Word(*m, 0xFDF0), 0x0104);
    EXPECT_EQ(m->pc + m->sp, 0x0104 + 0xFDF0);
    for (int i = 0; i < 16; ++i) {
        m->R[i] = static_cast<std::uint16_t>(0x1101 * i);
    }
    const auto saved = m->R;
    step(*m);
    EXPECT_EQ(readChip16Word(*m, 0xFDF2) + m->sp, saved[1] + 0xFDF0 + 32) << "R0 first";
    m->R.fill(0);
    step(*m);
    EXPECT_EQ(m->R, saved);
    EXPECT_EQ(m->sp, 0xFDF0);
    // Flags word: carry bit 1, zero bit 2, overflow bit 6, negative bit 7.
    m->carry = m->zero = m->overflow = m->negative = 1;
    writeChip16Word(*m, 0xFDF2, 0x013B);
    step(*m);
    EXPECT_EQ(readChip16Word(*m, 0xFDF0), 0x00C6);
    writeChip16Word(*m, 0xFDF0, 0xFFFF);
    m->carry = m->zero = m->overflow = m->negative = 0;
    step(*m);
    EXPECT_EQ(packChip16Flags(*m), 0x00C6);
    m->sp = 0xFDF4;
    step(*m);
    EXPECT_EQ(packChip16Flags(*m), 0x0002) << "0x013B sets only carry";

    // Words at 0xFFFF continue at 0x0000: a store, a load with X = Y (through the old
    // address), push and pop, and an instruction fetched across the end.
    m = machineWith(Chip16Program().stm(1, 0xFFFF).ldmR(2, 2).push(1).pop(3).jmp(0xFFFE));
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
        char expected[80] = "";
        const bool known = (opcode & 0xF) < knownPerRow[opcode >> 4];
        if (!known) {
            std::snprintf(expected, sizeof expected,
                          "Chip-16 Error: Unknown Opcode Called! [pc=0100][123421%02x]\n", opcode);
        }
        EXPECT_EQ(console.take(), expected) << opcode;
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
