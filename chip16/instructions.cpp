#include "chip16/instructions.h"

#include "chip16/extended_set.h"
#include "chip16/graphics.h"
#include "chip16/memory_access.h"
#include "chip16/sound.h"
#include "platform/console_log.h"
#include "platform/random.h"

namespace {
// The state nearly every instruction touches, held in locals through a run of
// instructions so that it stays in registers; the machine record is brought up to date
// before anything out of line reads it.
struct HotState {
    std::uint16_t pc;
    std::uint16_t sp;
    std::uint8_t carry;
    std::uint8_t zero;
    std::uint8_t overflow;
    std::uint8_t negative;
};

HotState loadHotState(const Chip16Machine& m) {
    return {m.pc, m.sp, m.carry, m.zero, m.overflow, m.negative};
}

void storeHotState(Chip16Machine& m, const HotState& h) {
    m.pc = h.pc;
    m.sp = h.sp;
    m.carry = h.carry;
    m.zero = h.zero;
    m.overflow = h.overflow;
    m.negative = h.negative;
}

std::uint8_t bit15(std::uint32_t value) {
    return static_cast<std::uint8_t>((value >> 15) & 1);
}

void setZeroNegative(HotState& h, std::uint16_t result) {
    h.zero = result == 0;
    h.negative = bit15(result);
}

std::uint16_t add(HotState& h, std::uint16_t x, std::uint16_t y) {
    const std::uint32_t sum = std::uint32_t{x} + y;
    const auto result = static_cast<std::uint16_t>(sum);
    h.carry = static_cast<std::uint8_t>(sum >> 16);
    h.overflow = bit15(~(x ^ y) & (x ^ result));
    setZeroNegative(h, result);
    return result;
}

// Overflow is that of x + (-y) in 16 bits; for y = 0x8000, whose negation is itself,
// this is the opposite of the textbook subtraction overflow, and it is what the
// hardware reports.
std::uint16_t subtract(HotState& h, std::uint16_t x, std::uint16_t y) {
    const auto result = static_cast<std::uint16_t>(x - y);
    const auto negatedY = static_cast<std::uint16_t>(-y);
    h.carry = x < y;
    h.overflow = bit15(~(x ^ negatedY) & (x ^ result));
    setZeroNegative(h, result);
    return result;
}

std::uint16_t logic(HotState& h, std::uint16_t result) {
    setZeroNegative(h, result);
    return result;
}

std::uint16_t multiply(HotState& h, std::uint16_t x, std::uint16_t y) {
    const std::uint32_t product = std::uint32_t{x} * y;
    const auto result = static_cast<std::uint16_t>(product);
    h.carry = product > 0xFFFF;
    setZeroNegative(h, result);
    return result;
}

// Division by zero has no hardware result; it yields 0 with no remainder.
std::uint16_t divide(HotState& h, std::uint16_t x, std::uint16_t y) {
    if (y == 0) {
        h.carry = 0;
        setZeroNegative(h, 0);
        return 0;
    }
    const auto result = static_cast<std::uint16_t>(x / y);
    h.carry = x % y != 0;
    setZeroNegative(h, result);
    return result;
}

// The later instruction set divides signed, truncating toward zero; the flags follow
// as for the unsigned division. -32768 / -1, whose quotient does not fit in 16 bits,
// gives 0, as a zero divisor does.
std::uint16_t divideSigned(HotState& h, std::uint16_t x, std::uint16_t y) {
    const std::int32_t dividend = static_cast<std::int16_t>(x);
    const std::int32_t divisor = static_cast<std::int16_t>(y);
    if (divisor == 0 || (dividend == -32768 && divisor == -1)) {
        h.carry = 0;
        setZeroNegative(h, 0);
        return 0;
    }
    const auto result = static_cast<std::uint16_t>(dividend / divisor);
    h.carry = dividend % divisor != 0;
    setZeroNegative(h, result);
    return result;
}

std::uint16_t divideBy(const Chip16Machine& m, HotState& h, std::uint16_t x, std::uint16_t y) {
    return m.extendedInstructions ? divideSigned(h, x, y) : divide(h, x, y);
}

std::uint16_t shiftLeft(std::uint16_t x, unsigned n) {
    return static_cast<std::uint16_t>(x << n);
}

std::uint16_t shiftRight(std::uint16_t x, unsigned n) {
    return static_cast<std::uint16_t>(x >> n);
}

std::uint16_t shiftRightArithmetic(std::uint16_t x, unsigned n) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(x) >> n);
}

void push(Chip16Machine& m, HotState& h, std::uint16_t value) {
    writeChip16Word(m, h.sp, value);
    h.sp = static_cast<std::uint16_t>(h.sp + 2);
}

std::uint16_t pop(Chip16Machine& m, HotState& h) {
    h.sp = static_cast<std::uint16_t>(h.sp - 2);
    return readChip16Word(m, h.sp);
}

void call(Chip16Machine& m, HotState& h, std::uint16_t target) {
    push(m, h, h.pc);
    h.pc = target;
}

bool conditionHolds(const HotState& h, unsigned condition) {
    switch (condition) {
    case 0x0: return h.zero;
    case 0x1: return !h.zero;
    case 0x2: return h.negative;
    case 0x3: return !h.negative;
    case 0x4: return !h.negative && !h.zero;
    case 0x5: return h.overflow;
    case 0x6: return !h.overflow;
    case 0x7: return !h.carry && !h.zero;
    case 0x8: return !h.carry;
    case 0x9: return h.carry;
    case 0xA: return h.carry || h.zero;
    case 0xB: return h.overflow == h.negative && !h.zero;
    case 0xC: return h.overflow == h.negative;
    case 0xD: return h.overflow != h.negative;
    case 0xE: return h.overflow != h.negative || h.zero;
    default: return false;
    }
}

std::uint16_t packFlags(const HotState& h) {
    return static_cast<std::uint16_t>((h.carry << 1) | (h.zero << 2) | (h.overflow << 6) |
                                      (h.negative << 7));
}

void unpackFlags(HotState& h, std::uint16_t word) {
    h.carry = (word >> 1) & 1;
    h.zero = (word >> 2) & 1;
    h.overflow = (word >> 6) & 1;
    h.negative = (word >> 7) & 1;
}

[[gnu::noinline, gnu::cold]] void reportUnknownOpcode(Chip16Machine& m, std::uint32_t word) {
    ++m.unknownOpcodeCounts[word & 0xFF];
    logMessage("Chip-16 Error: Unknown Opcode Called! [pc=%04x][%08x]",
               static_cast<unsigned>(static_cast<std::uint16_t>(m.pc - 4)), word);
}
// The later instructions (when chosen) and unknown opcodes, out of line so that the
// common opcodes' dispatch stays as small as without them.
[[gnu::noinline, gnu::cold]] void executeOtherOpcode(Chip16Machine& m, HotState& h,
                                                     std::uint32_t word) {
    storeHotState(m, h);
    if (!m.extendedInstructions || !executeChip16ExtendedInstruction(m, word)) {
        reportUnknownOpcode(m, word);
    }
    h = loadHotState(m);
}

[[gnu::noinline]] void drawSprite(Chip16Machine& m, HotState& h, std::uint16_t x, std::uint16_t y,
                                  std::uint16_t address) {
    drawChip16Sprite(m, x, y, address);
    h.carry = m.carry;
}

// One instruction whose fetch has moved pc past it. Inlined into the loops below, so
// the dispatch sits in the loop itself.
[[gnu::always_inline]] inline void execute(Chip16Machine& m, HotState& h, std::uint32_t word) {
    const unsigned x = (word >> 8) & 0xF;
    const unsigned y = (word >> 12) & 0xF;
    const unsigned z = (word >> 16) & 0xF;
    const auto immediate = static_cast<std::uint16_t>(word >> 16);
    std::uint16_t& rx = m.R[x];
    const std::uint16_t ry = m.R[y];

    switch (word & 0xFF) {
    // Control, graphics and sound.
    case 0x00: break;
    case 0x01: clearChip16Screen(m); break;
    case 0x02:
        if (!m.vblank) {
            h.pc = static_cast<std::uint16_t>(h.pc - 4);
        }
        break;
    case 0x03: m.backgroundColour = static_cast<std::uint8_t>(z); break;
    case 0x04:
        m.spriteWidth = (word >> 16) & 0xFF;
        m.spriteHeight = (word >> 24) & 0xFF;
        break;
    case 0x05: drawSprite(m, h, rx, ry, immediate); break;
    case 0x06: drawSprite(m, h, rx, ry, m.R[z]); break;
    case 0x07:
        rx =
            static_cast<std::uint16_t>(drawSeededRandom(m.random) % (std::uint32_t{immediate} + 1));
        break;
    case 0x08:
        m.flipVertical = (word >> 24) & 1;
        m.flipHorizontal = (word >> 25) & 1;
        break;
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C: executeChip16Beep(m, word); break;

    // Jumps and calls.
    case 0x10: h.pc = immediate; break;
    case 0x11:
        if (h.carry) {
            h.pc = immediate;
        }
        break;
    case 0x12:
        if (conditionHolds(h, x)) {
            h.pc = immediate;
        }
        break;
    case 0x13:
        if (rx == ry) {
            h.pc = immediate;
        }
        break;
    case 0x14: call(m, h, immediate); break;
    case 0x15: h.pc = pop(m, h); break;
    case 0x16: h.pc = rx; break;
    case 0x17:
        if (conditionHolds(h, x)) {
            call(m, h, immediate);
        }
        break;
    case 0x18: call(m, h, rx); break;

    // Loads and stores.
    case 0x20: rx = immediate; break;
    case 0x21: h.sp = immediate; break;
    case 0x22: rx = readChip16Word(m, immediate); break;
    case 0x23: rx = readChip16Word(m, ry); break;
    case 0x24: rx = ry; break;
    case 0x30: writeChip16Word(m, immediate, rx); break;
    case 0x31: writeChip16Word(m, ry, rx); break;

    // Arithmetic.
    case 0x40: rx = add(h, rx, immediate); break;
    case 0x41: rx = add(h, rx, ry); break;
    case 0x42: m.R[z] = add(h, rx, ry); break;
    case 0x50: rx = subtract(h, rx, immediate); break;
    case 0x51: rx = subtract(h, rx, ry); break;
    case 0x52: m.R[z] = subtract(h, rx, ry); break;
    case 0x53: subtract(h, rx, immediate); break;
    case 0x54: subtract(h, rx, ry); break;
    case 0x90: rx = multiply(h, rx, immediate); break;
    case 0x91: rx = multiply(h, rx, ry); break;
    case 0x92: m.R[z] = multiply(h, rx, ry); break;
    case 0xA0: rx = divideBy(m, h, rx, immediate); break;
    case 0xA1: rx = divideBy(m, h, rx, ry); break;
    case 0xA2: m.R[z] = divideBy(m, h, rx, ry); break;

    // Logic and shifts: carry and overflow keep their values.
    case 0x60: rx = logic(h, rx & immediate); break;
    case 0x61: rx = logic(h, rx & ry); break;
    case 0x62: m.R[z] = logic(h, rx & ry); break;
    case 0x63: logic(h, rx & immediate); break;
    case 0x64: logic(h, rx & ry); break;
    case 0x70: rx = logic(h, rx | immediate); break;
    case 0x71: rx = logic(h, rx | ry); break;
    case 0x72: m.R[z] = logic(h, rx | ry); break;
    case 0x80: rx = logic(h, rx ^ immediate); break;
    case 0x81: rx = logic(h, rx ^ ry); break;
    case 0x82: m.R[z] = logic(h, rx ^ ry); break;
    case 0xB0: rx = logic(h, shiftLeft(rx, z)); break;
    case 0xB1: rx = logic(h, shiftRight(rx, z)); break;
    case 0xB2: rx = logic(h, shiftRightArithmetic(rx, z)); break;
    case 0xB3: rx = logic(h, shiftLeft(rx, ry & 0xF)); break;
    case 0xB4: rx = logic(h, shiftRight(rx, ry & 0xF)); break;
    case 0xB5: rx = logic(h, shiftRightArithmetic(rx, ry & 0xF)); break;

    // Stack.
    case 0xC0: push(m, h, rx); break;
    case 0xC1: rx = pop(m, h); break;
    case 0xC2:
        for (const std::uint16_t value : m.R) {
            push(m, h, value);
        }
        break;
    case 0xC3:
        for (int i = 15; i >= 0; --i) {
            m.R[i] = pop(m, h);
        }
        break;
    case 0xC4: push(m, h, packFlags(h)); break;
    case 0xC5: unpackFlags(h, pop(m, h)); break;

    default: executeOtherOpcode(m, h, word); break;
    }
}
} // namespace

bool chip16ConditionHolds(const Chip16Machine& m, unsigned condition) {
    return conditionHolds(loadHotState(m), condition);
}

std::uint16_t packChip16Flags(const Chip16Machine& m) {
    return packFlags(loadHotState(m));
}

void unpackChip16Flags(Chip16Machine& m, std::uint16_t word) {
    HotState h = loadHotState(m);
    unpackFlags(h, word);
    storeHotState(m, h);
}

void executeChip16Instruction(Chip16Machine& m, std::uint32_t word) {
    HotState h = loadHotState(m);
    execute(m, h, word);
    storeHotState(m, h);
}

void runChip16Instructions(Chip16Machine& m, std::uint32_t count) {
    HotState h = loadHotState(m);
    for (; count != 0; --count) {
        const std::uint32_t word = fetchChip16Instruction(m, h.pc);
        h.pc = static_cast<std::uint16_t>(h.pc + 4);
        execute(m, h, word);
    }
    storeHotState(m, h);
}
