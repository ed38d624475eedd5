#include "chip16/instructions.h"

#include "tests/chip16_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

namespace {
constexpr int keep = -1; // the flag must keep the value it had

struct Flags {
    int carry, zero, overflow, negative;
};

struct Operands {
    std::uint16_t x, y;
    std::uint16_t result;
    Flags flags;
};

// One form of an instruction, emitted with X = R1 and Y = R2 (or the immediate); the
// result is read from `destination`, or nothing is stored when it is -1.
struct Form {
    const char* name;
    std::function<void(Chip16Program&, std::uint16_t y)> emit;
    int destination;
};

void setAllFlags(Chip16Machine& m, std::uint8_t value) {
    m.carry = m.zero = m.overflow = m.negative = value;
}

// Runs every form on every operand pair, once with all flags 0 and once with all 1
// beforehand, so that a flag the rule must not touch is seen to keep either value.
void checkRule(const std::vector<Form>& forms, const std::vector<Operands>& cases) {
    for (const Form& form : forms) {
        for (const Operands& c : cases) {
            for (const std::uint8_t before : {0, 1}) {
                Chip16Program program;
                form.emit(program, c.y);
                auto m = machineWith(program);
                m->R[1] = c.x;
                m->R[2] = c.y;
                m->R[3] = 0x5A5A;
                setAllFlags(*m, before);
                step(*m);

                SCOPED_TRACE(testing::Message() << form.name << " x=" << std::hex << c.x
                                                << " y=" << c.y << " flags before=" << +before);
                if (form.destination >= 0) {
                    EXPECT_EQ(m->R[form.destination], c.result);
                } else {
                    EXPECT_EQ(m->R[1], c.x);
                    EXPECT_EQ(m->R[3], 0x5A5A);
                }
                const auto expect = [before](int expected) {
                    return expected == keep ? before : expected;
                };
                EXPECT_EQ(m->carry, expect(c.flags.carry)) << "carry";
                EXPECT_EQ(m->zero, expect(c.flags.zero)) << "zero";
                EXPECT_EQ(m->overflow, expect(c.flags.overflow)) << "overflow";
                EXPECT_EQ(m->negative, expect(c.flags.negative)) << "negative";
            }
        }
    }
}

using Emit2 = Chip16Program& (Chip16Program::*)(unsigned, unsigned);
using Emit3 = Chip16Program& (Chip16Program::*)(unsigned, unsigned, unsigned);
using EmitImmediate = Chip16Program& (Chip16Program::*)(unsigned, std::uint16_t);

// The immediate, two-register and three-register forms of one operation.
std::vector<Form> threeForms(const char* name, EmitImmediate immediate, Emit2 two, Emit3 three) {
    return {
        {name, [immediate](Chip16Program& p, std::uint16_t y) { (p.*immediate)(1, y); }, 1},
        {name, [two](Chip16Program& p, std::uint16_t) { (p.*two)(1, 2); }, 1},
        {name, [three](Chip16Program& p, std::uint16_t) { (p.*three)(1, 2, 3); }, 3},
    };
}
} // namespace

TEST(Chip16Arithmetic, AddRuleSetsAllFourFlags) {
    checkRule(threeForms("add", &Chip16Program::addi, &Chip16Program::add, &Chip16Program::add),
              {
                  {0x7FFF, 0x0001, 0x8000, {0, 0, 1, 1}},
                  {0xFFFF, 0x0001, 0x0000, {1, 1, 0, 0}},
                  {0x8000, 0x8000, 0x0000, {1, 1, 1, 0}},
                  {0x8000, 0xFFFF, 0x7FFF, {1, 0, 1, 0}},
                  {0x1234, 0x1111, 0x2345, {0, 0, 0, 0}},
                  {0xFFFF, 0xFFFF, 0xFFFE, {1, 0, 0, 1}},
              });
}

TEST(Chip16Arithmetic, SubtractRuleIncludingTheNegationOf0x8000) {
    std::vector<Form> forms =
        threeForms("sub", &Chip16Program::subi, &Chip16Program::sub, &Chip16Program::sub);
    forms.push_back({"cmpi", [](Chip16Program& p, std::uint16_t y) { p.cmpi(1, y); }, -1});
    forms.push_back({"cmp", [](Chip16Program& p, std::uint16_t) { p.cmp(1, 2); }, -1});
    checkRule(forms, {
                         {0x0000, 0x0001, 0xFFFF, {1, 0, 0, 1}},
                         {0x0005, 0x0005, 0x0000, {0, 1, 0, 0}},
                         {0x8000, 0x0001, 0x7FFF, {0, 0, 1, 0}},
                         {0x7FFF, 0xFFFF, 0x8000, {1, 0, 1, 1}},
                         {0x1234, 0x0234, 0x1000, {0, 0, 0, 0}},
                         // Y = 0x8000 is its own negation: overflow is that of X + 0x8000.
                         {0x0000, 0x8000, 0x8000, {1, 0, 0, 1}},
                         {0xFFFF, 0x8000, 0x7FFF, {0, 0, 1, 0}},
                         {0x8000, 0x8000, 0x0000, {0, 1, 1, 0}},
                     });
}

TEST(Chip16Arithmetic, MultiplyRuleKeepsOverflow) {
    checkRule(threeForms("mul", &Chip16Program::muli, &Chip16Program::mul, &Chip16Program::mul),
              {
                  {0x0100, 0x0100, 0x0000, {1, 1, keep, 0}},
                  {0x0003, 0x0005, 0x000F, {0, 0, keep, 0}},
                  {0x8000, 0x0001, 0x8000, {0, 0, keep, 1}},
                  {0xFFFF, 0xFFFF, 0x0001, {1, 0, keep, 0}},
                  {0x1234, 0x0000, 0x0000, {0, 1, keep, 0}},
              });
}

TEST(Chip16Arithmetic, DivideRuleWithRemainderInCarryAndZeroDivisorGivingZero) {
    checkRule(threeForms("div", &Chip16Program::divi, &Chip16Program::div, &Chip16Program::div),
              {
                  {0x0007, 0x0002, 0x0003, {1, 0, keep, 0}},
                  {0x0008, 0x0002, 0x0004, {0, 0, keep, 0}},
                  {0xFFFF, 0x0001, 0xFFFF, {0, 0, keep, 1}},
                  {0x0001, 0x0002, 0x0000, {1, 1, keep, 0}},
                  {0x1234, 0x0000, 0x0000, {0, 1, keep, 0}},
                  {0x0000, 0x0000, 0x0000, {0, 1, keep, 0}},
              });
}

TEST(Chip16Logic, LogicRuleKeepsCarryAndOverflow) {
    std::vector<Form> forms =
        threeForms("and", &Chip16Program::andi, &Chip16Program::and_, &Chip16Program::and_);
    checkRule(forms, {
                         {0xF0F0, 0x0FF0, 0x00F0, {keep, 0, keep, 0}},
                         {0xFFFF, 0x8001, 0x8001, {keep, 0, keep, 1}},
                         {0x5555, 0xAAAA, 0x0000, {keep, 1, keep, 0}},
                     });
    checkRule(threeForms("or", &Chip16Program::ori, &Chip16Program::or_, &Chip16Program::or_),
              {
                  {0x8000, 0x0001, 0x8001, {keep, 0, keep, 1}},
                  {0x0000, 0x0000, 0x0000, {keep, 1, keep, 0}},
              });
    checkRule(threeForms("xor", &Chip16Program::xori, &Chip16Program::xor_, &Chip16Program::xor_),
              {
                  {0x1234, 0x1234, 0x0000, {keep, 1, keep, 0}},
                  {0x7FFF, 0xFFFF, 0x8000, {keep, 0, keep, 1}},
              });
    checkRule({{"tsti", [](Chip16Program& p, std::uint16_t y) { p.tsti(1, y); }, -1},
               {"tst", [](Chip16Program& p, std::uint16_t) { p.tst(1, 2); }, -1}},
              {
                  {0x5555, 0xAAAA, 0, {keep, 1, keep, 0}},
                  {0x8000, 0x8000, 0, {keep, 0, keep, 1}},
              });
}

TEST(Chip16Logic, ShiftsByImmediateAndByRegisterLowNibbleKeepCarryAndOverflow) {
    // The count is the immediate nibble, or R2 AND 0xF (R2 = y carries junk above it).
    struct Shift {
        const char* name;
        Emit2 byImmediate;
        Emit2 byRegister;
        std::vector<Operands> cases;
    };
    using P = Chip16Program;
    const std::vector<Shift> shifts = {
        {"shl",
         &P::shl,
         &P::shlR,
         {{0x0001, 0x00FF, 0x8000, {keep, 0, keep, 1}},
          {0x8000, 0x0011, 0x0000, {keep, 1, keep, 0}},
          {0x1234, 0xFFF0, 0x1234, {keep, 0, keep, 0}}}},
        {"shr",
         &P::shr,
         &P::shrR,
         {{0x8000, 0x000F, 0x0001, {keep, 0, keep, 0}},
          {0x8000, 0x0000, 0x8000, {keep, 0, keep, 1}},
          {0x0001, 0x0101, 0x0000, {keep, 1, keep, 0}}}},
        {"sar",
         &P::sar,
         &P::sarR,
         {{0x8000, 0x000F, 0xFFFF, {keep, 0, keep, 1}},
          {0x4000, 0x000E, 0x0001, {keep, 0, keep, 0}},
          {0x0000, 0x0003, 0x0000, {keep, 1, keep, 0}}}},
    };
    for (const Shift& shift : shifts) {
        const Emit2 byImmediate = shift.byImmediate;
        const Emit2 byRegister = shift.byRegister;
        checkRule({{shift.name, [=](P& p, std::uint16_t y) { (p.*byImmediate)(1, y & 0xFu); }, 1},
                   {shift.name, [=](P& p, std::uint16_t) { (p.*byRegister)(1, 2); }, 1}},
                  shift.cases);
    }
}

TEST(Chip16Conditions, JxAfterCmpMatchesTheUnsignedAndSignedRelations) {
    using C = Chip16Condition;
    const std::vector<std::uint16_t> values = {0x0000, 0x0001, 0x0002, 0x1234, 0x7FFE,
                                               0x7FFF, 0x8001, 0xFFFE, 0xFFFF};
    for (const std::uint16_t a : values) {
        for (const std::uint16_t b : values) {
            const auto sa = static_cast<std::int16_t>(a);
            const auto sb = static_cast<std::int16_t>(b);
            const std::vector<std::pair<C, bool>> expected = {
                {C::Z, a == b},  {C::NZ, a != b},   {C::A, a > b},     {C::AE, a >= b},
                {C::B, a < b},   {C::BE, a <= b},   {C::G, sa > sb},   {C::GE, sa >= sb},
                {C::L, sa < sb}, {C::LE, sa <= sb}, {C::Never, false},
            };
            for (const auto& [condition, holds] : expected) {
                Chip16Program program;
                program.cmp(1, 2).jx(condition, 0x0200);
                auto m = machineWith(program);
                m->R[1] = a;
                m->R[2] = b;
                step(*m, 2);
                EXPECT_EQ(m->pc, holds ? 0x0200 : 0x0008)
                    << std::hex << a << " vs " << b << " condition " << int(condition);
            }
        }
    }
}

TEST(Chip16Conditions, SignAndOverflowConditionsReadSingleFlags) {
    using C = Chip16Condition;
    for (int flags = 0; flags < 16; ++flags) {
        auto m = machineWith(Chip16Program{});
        m->carry = flags & 1;
        m->zero = (flags >> 1) & 1;
        m->overflow = (flags >> 2) & 1;
        m->negative = (flags >> 3) & 1;
        EXPECT_EQ(chip16ConditionHolds(*m, unsigned(C::N)), m->negative == 1);
        EXPECT_EQ(chip16ConditionHolds(*m, unsigned(C::NN)), m->negative == 0);
        EXPECT_EQ(chip16ConditionHolds(*m, unsigned(C::P)), !m->negative && !m->zero);
        EXPECT_EQ(chip16ConditionHolds(*m, unsigned(C::O)), m->overflow == 1);
        EXPECT_EQ(chip16ConditionHolds(*m, unsigned(C::NO)), m->overflow == 0);
        EXPECT_FALSE(chip16ConditionHolds(*m, unsigned(C::Never)));
    }
}

TEST(Chip16Control, JumpsAndConditionalCalls) {
    Chip16Program program;
    program.jmc(0x0100).jme(1, 2, 0x0200);
    program.at(0x0200).jmpR(5);
    program.at(0x0300).cx(Chip16Condition::Never, 0x0400).cx(Chip16Condition::NZ, 0x0500);
    auto m = machineWith(program);
    m->R[1] = m->R[2] = 7;
    m->R[5] = 0x0300;
    step(*m);
    EXPECT_EQ(m->pc, 0x0004) << "JMC without carry falls through";
    step(*m);
    EXPECT_EQ(m->pc, 0x0200) << "JME with equal registers";
    step(*m);
    EXPECT_EQ(m->pc, 0x0300) << "JMP through R5";
    step(*m);
    EXPECT_EQ(m->pc, 0x0304);
    EXPECT_EQ(m->sp, 0xFDF0) << "condition 15 pushes nothing";
    step(*m);
    EXPECT_EQ(m->pc, 0x0500);
    EXPECT_EQ(m->sp, 0xFDF2);
    EXPECT_EQ(readChip16Word(*m, 0xFDF0), 0x0308);
}

TEST(Chip16Stack, CallPushesTheReturnAddressAndRetPopsIt) {
    Chip16Program program;
    program.at(0x0100).call(0x0200).callR(4);
    program.at(0x0200).ret();
    program.at(0x0300).ret();
    auto m = machineWith(program);
    m->pc = 0x0100;
    m->R[4] = 0x0300;
    step(*m);
    EXPECT_EQ(m->pc, 0x0200);
    EXPECT_EQ(m->sp, 0xFDF2);
    EXPECT_EQ(readChip16Word(*m, 0xFDF0), 0x0104);
    step(*m);
    EXPECT_EQ(m->pc, 0x0104);
    EXPECT_EQ(m->sp, 0xFDF0);
    step(*m, 2);
    EXPECT_EQ(m->pc, 0x0108);
    EXPECT_EQ(m->sp, 0xFDF0);
}

TEST(Chip16Stack, PushAllAndPopAllRestoreEveryRegisterInOrder) {
    Chip16Program program;
    program.pushAll().popAll().push(3).pop(9);
    auto m = machineWith(program);
    for (int i = 0; i < 16; ++i) {
        m->R[i] = static_cast<std::uint16_t>(0x1100 * i + i);
    }
    const auto saved = m->R;
    step(*m);
    EXPECT_EQ(m->sp, 0xFDF0 + 32);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(readChip16Word(*m, static_cast<std::uint16_t>(0xFDF0 + 2 * i)), saved[i]);
    }
    m->R.fill(0xDEAD);
    step(*m);
    EXPECT_EQ(m->R, saved);
    EXPECT_EQ(m->sp, 0xFDF0);
    step(*m, 2);
    EXPECT_EQ(m->R[9], saved[3]);
    EXPECT_EQ(m->sp, 0xFDF0);
}

TEST(Chip16Stack, FlagsWordLayout) {
    Chip16Program program;
    program.pushF().popF().popF().popF();
    auto m = machineWith(program);
    setAllFlags(*m, 1);
    m->sp = 0x1000;
    writeChip16Word(*m, 0x0FFC, 0x013B);
    writeChip16Word(*m, 0x0FFE, 0xFFFF);
    step(*m);
    EXPECT_EQ(readChip16Word(*m, 0x1000), 0x00C6);
    setAllFlags(*m, 0);
    step(*m);
    EXPECT_EQ(packChip16Flags(*m), 0x00C6) << "popped what was pushed";
    setAllFlags(*m, 0);
    step(*m);
    EXPECT_TRUE(m->carry && m->zero && m->overflow && m->negative) << "0xFFFF sets all four";
    step(*m);
    EXPECT_EQ(m->carry, 1) << "0x013B sets only carry";
    EXPECT_EQ(m->zero + m->overflow + m->negative, 0);
}

TEST(Chip16Memory, LoadsStoresMovesAndReadBeforeWrite) {
    Chip16Program program;
    program.ldi(1, 0x1234).stm(1, 0x2000).ldm(2, 0x2000).mov(3, 2);
    program.ldi(4, 0x2000).ldmR(4, 4).stmR(3, 5).add(6, 6).ldiSp(0x4000);
    auto m = machineWith(program);
    m->R[5] = 0x3000;
    m->R[6] = 0x0021;
    step(*m, 9);
    EXPECT_EQ(m->memory[0x2000], 0x34);
    EXPECT_EQ(m->memory[0x2001], 0x12);
    EXPECT_EQ(m->R[2], 0x1234);
    EXPECT_EQ(m->R[3], 0x1234);
    EXPECT_EQ(m->R[4], 0x1234) << "LDM X=Y loads through the old address";
    EXPECT_EQ(readChip16Word(*m, 0x3000), 0x1234);
    EXPECT_EQ(m->R[6], 0x0042) << "ADD X=Y doubles";
    EXPECT_EQ(m->sp, 0x4000);
}

TEST(Chip16Memory, WordAccessesAndFetchesWrapPastTheEnd) {
    Chip16Program program;
    program.stm(1, 0xFFFF).ldm(2, 0xFFFF).push(1).pop(3).jmp(0xFFFE);
    auto m = machineWith(program);
    m->R[1] = 0xABCD;
    m->sp = 0xFFFF;
    step(*m, 2);
    EXPECT_EQ(m->memory[0xFFFF], 0xCD);
    EXPECT_EQ(m->memory[0x0000], 0xAB);
    EXPECT_EQ(m->R[2], 0xABCD);
    step(*m);
    EXPECT_EQ(m->sp, 0x0001);
    EXPECT_EQ(m->memory[0x0000], 0xAB);
    step(*m);
    EXPECT_EQ(m->R[3], 0xABCD);
    EXPECT_EQ(m->sp, 0xFFFF);

    // An instruction straddling the end: bytes FFFE FFFF 0000 0001.
    m->memory[0xFFFE] = 0x20; // LDI
    m->memory[0xFFFF] = 0x07; // R7
    m->memory[0x0000] = 0x34;
    m->memory[0x0001] = 0x12;
    step(*m);
    EXPECT_EQ(m->pc, 0xFFFE);
    step(*m);
    EXPECT_EQ(m->R[7], 0x1234);
    EXPECT_EQ(m->pc, 0x0002);
}

TEST(Chip16Control, VblnkWaitsUntilTheFlagIsRaised) {
    Chip16Program program;
    program.vblnk();
    auto m = machineWith(program);
    step(*m, 3);
    EXPECT_EQ(m->pc, 0x0000);
    m->vblank = 1;
    step(*m);
    EXPECT_EQ(m->pc, 0x0004);
}

TEST(Chip16Random, RndStaysWithinZeroToTheLimit) {
    Chip16Program program;
    program.rnd(1, 0).rnd(2, 9).rnd(3, 0xFFFF);
    std::set<std::uint16_t> seen;
    for (int i = 0; i < 400; ++i) {
        auto m = machineWith(program);
        m->R[1] = 0x5555;
        step(*m, 3);
        EXPECT_EQ(m->R[1], 0);
        EXPECT_LE(m->R[2], 9);
        EXPECT_LE(m->R[3], 32767);
        seen.insert(m->R[2]);
    }
    EXPECT_EQ(seen.size(), 10u) << "every value 0 to 9 turns up, including the limit";
}

TEST(Chip16UnknownOpcodes, AreReportedCountedAndChangeNoState) {
    const std::set<int> known = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                 0x0B, 0x0C, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                 0x20, 0x21, 0x22, 0x23, 0x24, 0x30, 0x31, 0x40, 0x41, 0x42, 0x50,
                                 0x51, 0x52, 0x53, 0x54, 0x60, 0x61, 0x62, 0x63, 0x64, 0x70, 0x71,
                                 0x72, 0x80, 0x81, 0x82, 0x90, 0x91, 0x92, 0xA0, 0xA1, 0xA2, 0xB0,
                                 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5};
    ASSERT_EQ(known.size(), 66u);
    CapturedConsole console;
    for (int opcode = 0; opcode < 256; ++opcode) {
        Chip16Program program;
        program.at(0x0100).raw(static_cast<std::uint8_t>(opcode), 0x21, 0x34, 0x12);
        auto m = machineWith(program);
        for (int i = 0; i < 16; ++i) {
            m->R[i] = static_cast<std::uint16_t>(0x0101 * i + 3);
        }
        m->pc = 0x0100;
        m->vblank = 1;
        auto before = std::make_unique<Chip16Machine>();
        before->R = m->R;
        before->memory = m->memory;
        before->screen = m->screen;
        step(*m);
        const std::string text = console.take();
        if (known.count(opcode) != 0) {
            EXPECT_EQ(text.find("Unknown Opcode"), std::string::npos) << std::hex << opcode;
            EXPECT_EQ(m->unknownOpcodeCounts[opcode], 0u);
            continue;
        }
        char expected[80];
        std::snprintf(expected, sizeof expected,
                      "Chip-16 Error: Unknown Opcode Called! [pc=0100][123421%02x]\n", opcode);
        EXPECT_EQ(text, expected);
        EXPECT_EQ(m->pc, 0x0104);
        EXPECT_EQ(m->sp, 0xFDF0);
        EXPECT_EQ(m->R, before->R);
        EXPECT_EQ(m->carry + m->zero + m->overflow + m->negative, 0);
        EXPECT_TRUE(m->memory == before->memory && m->screen == before->screen);
        EXPECT_EQ(m->unknownOpcodeCounts[opcode], 1u);
    }
}
