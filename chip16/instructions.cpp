#include "chip16/instructions.h"

#include "chip16/extended_set.h"
#include "chip16/graphics.h"
#include "chip16/memory_access.h"
#include "platform/console_log.h"
#include "platform/random.h"

namespace {
std::uint8_t bit15(std::uint32_t value) {
    return static_cast<std::uint8_t>((value >> 15) & 1);
}

void setZeroNegative(Chip16Machine& m, std::uint16_t result) {
    m.zero = result == 0;
    m.negative = bit15(result);
}

std::uint16_t add(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    const std::uint32_t sum = std::uint32_t{x} + y;
    const auto result = static_cast<std::uint16_t>(sum);
    m.carry = static_cast<std::uint8_t>(sum >> 16);
    m.overflow = bit15(~(x ^ y) & (x ^ result));
    setZeroNegative(m, result);
    return result;
}

// Overflow is that of x + (-y) in 16 bits; for y = 0x8000, whose negation is itself,
// this is the opposite of the textbook subtraction overflow, and it is what the
// hardware reports.
std::uint16_t subtract(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    const auto result = static_cast<std::uint16_t>(x - y);
    const auto negatedY = static_cast<std::uint16_t>(-y);
    m.carry = x < y;
    m.overflow = bit15(~(x ^ negatedY) & (x ^ result));
    setZeroNegative(m, result);
    return result;
}

std::uint16_t logic(Chip16Machine& m, std::uint16_t result) {
    setZeroNegative(m, result);
    return result;
}

std::uint16_t multiply(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    const std::uint32_t product = std::uint32_t{x} * y;
    const auto result = static_cast<std::uint16_t>(product);
    m.carry = product > 0xFFFF;
    setZeroNegative(m, result);
    return result;
}

// Division by zero has no hardware result; it yields 0 with no remainder.
std::uint16_t divide(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    if (y == 0) {
        m.carry = 0;
        setZeroNegative(m, 0);
        return 0;
    }
    const auto result = static_cast<std::uint16_t>(x / y);
    m.carry = x % y != 0;
    setZeroNegative(m, result);
    return result;
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

void push(Chip16Machine& m, std::uint16_t value) {
    writeChip16Word(m, m.sp, value);
    m.sp = static_cast<std::uint16_t>(m.sp + 2);
}

std::uint16_t pop(Chip16Machine& m) {
    m.sp = static_cast<std::uint16_t>(m.sp - 2);
    return readChip16Word(m, m.sp);
}

void call(Chip16Machine& m, std::uint16_t target) {
    push(m, m.pc);
    m.pc = target;
}

[[gnu::noinline, gnu::cold]] void reportUnknownOpcode(Chip16Machine& m, std::uint32_t word) {
    ++m.unknownOpcodeCounts[word & 0xFF];
    logMessage("Chip-16 Error: Unknown Opcode Called! [pc=%04x][%08x]",
               static_cast<unsigned>(static_cast<std::uint16_t>(m.pc - 4)), word);
}
// The later instructions (when chosen) and unknown opcodes, out of line so that the
// common opcodes' dispatch stays as small as without them.
[[gnu::noinline, gnu::cold]] void executeOtherOpcode(Chip16Machine& m, std::uint32_t word) {
    if (!m.extendedInstructions || !executeChip16ExtendedInstruction(m, word)) {
        reportUnknownOpcode(m, word);
    }
}
} // namespace

bool chip16ConditionHolds(const Chip16Machine& m, unsigned condition) {
    switch (condition) {
    case 0x0: return m.zero;
    case 0x1: return !m.zero;
    case 0x2: return m.negative;
    case 0x3: return !m.negative;
    case 0x4: return !m.negative && !m.zero;
    case 0x5: return m.overflow;
    case 0x6: return !m.overflow;
    case 0x7: return !m.carry && !m.zero;
    case 0x8: return !m.carry;
    case 0x9: return m.carry;
    case 0xA: return m.carry || m.zero;
    case 0xB: return m.overflow == m.negative && !m.zero;
    case 0xC: return m.overflow == m.negative;
    case 0xD: return m.overflow != m.negative;
    case 0xE: return m.overflow != m.negative || m.zero;
    default: return false;
    }
}

std::uint16_t packChip16Flags(const Chip16Machine& m) {
    return static_cast<std::uint16_t>((m.carry << 1) | (m.zero << 2) | (m.overflow << 6) |
                                      (m.negative << 7));
}

void unpackChip16Flags(Chip16Machine& m, std::uint16_t word) {
    m.carry = (word >> 1) & 1;
    m.zero = (word >> 2) & 1;
    m.overflow = (word >> 6) & 1;
    m.negative = (word >> 7) & 1;
}

void executeChip16Instruction(Chip16Machine& m, std::uint32_t word) {
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
            m.pc = static_cast<std::uint16_t>(m.pc - 4);
        }
        break;
    case 0x03: m.backgroundColour = static_cast<std::uint8_t>(z); break;
    case 0x04:
        m.spriteWidth = (word >> 16) & 0xFF;
        m.spriteHeight = (word >> 24) & 0xFF;
        break;
    case 0x05: drawChip16Sprite(m, rx, ry, immediate); break;
    case 0x06: drawChip16Sprite(m, rx, ry, m.R[z]); break;
    case 0x07:
        rx = static_cast<std::uint16_t>(drawSeededRandom() % (std::uint32_t{immediate} + 1));
        break;
    case 0x08:
        m.flipVertical = (word >> 24) & 1;
        m.flipHorizontal = (word >> 25) & 1;
        break;
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
        break; // sound: there is none

    // Jumps and calls.
    case 0x10: m.pc = immediate; break;
    case 0x11:
        if (m.carry) {
            m.pc = immediate;
        }
        break;
    case 0x12:
        if (chip16ConditionHolds(m, x)) {
            m.pc = immediate;
        }
        break;
    case 0x13:
        if (rx == ry) {
            m.pc = immediate;
        }
        break;
    case 0x14: call(m, immediate); break;
    case 0x15: m.pc = pop(m); break;
    case 0x16: m.pc = rx; break;
    case 0x17:
        if (chip16ConditionHolds(m, x)) {
            call(m, immediate);
        }
        break;
    case 0x18: call(m, rx); break;

    // Loads and stores.
    case 0x20: rx = immediate; break;
    case 0x21: m.sp = immediate; break;
    case 0x22: rx = readChip16Word(m, immediate); break;
    case 0x23: rx = readChip16Word(m, ry); break;
    case 0x24: rx = ry; break;
    case 0x30: writeChip16Word(m, immediate, rx); break;
    case 0x31: writeChip16Word(m, ry, rx); break;

    // Arithmetic.
    case 0x40: rx = add(m, rx, immediate); break;
    case 0x41: rx = add(m, rx, ry); break;
    case 0x42: m.R[z] = add(m, rx, ry); break;
    case 0x50: rx = subtract(m, rx, immediate); break;
    case 0x51: rx = subtract(m, rx, ry); break;
    case 0x52: m.R[z] = subtract(m, rx, ry); break;
    case 0x53: subtract(m, rx, immediate); break;
    case 0x54: subtract(m, rx, ry); break;
    case 0x90: rx = multiply(m, rx, immediate); break;
    case 0x91: rx = multiply(m, rx, ry); break;
    case 0x92: m.R[z] = multiply(m, rx, ry); break;
    case 0xA0: rx = divide(m, rx, immediate); break;
    case 0xA1: rx = divide(m, rx, ry); break;
    case 0xA2: m.R[z] = divide(m, rx, ry); break;

    // Logic and shifts: carry and overflow keep their values.
    case 0x60: rx = logic(m, rx & immediate); break;
    case 0x61: rx = logic(m, rx & ry); break;
    case 0x62: m.R[z] = logic(m, rx & ry); break;
    case 0x63: logic(m, rx & immediate); break;
    case 0x64: logic(m, rx & ry); break;
    case 0x70: rx = logic(m, rx | immediate); break;
    case 0x71: rx = logic(m, rx | ry); break;
    case 0x72: m.R[z] = logic(m, rx | ry); break;
    case 0x80: rx = logic(m, rx ^ immediate); break;
    case 0x81: rx = logic(m, rx ^ ry); break;
    case 0x82: m.R[z] = logic(m, rx ^ ry); break;
    case 0xB0: rx = logic(m, shiftLeft(rx, z)); break;
    case 0xB1: rx = logic(m, shiftRight(rx, z)); break;
    case 0xB2: rx = logic(m, shiftRightArithmetic(rx, z)); break;
    case 0xB3: rx = logic(m, shiftLeft(rx, ry & 0xF)); break;
    case 0xB4: rx = logic(m, shiftRight(rx, ry & 0xF)); break;
    case 0xB5: rx = logic(m, shiftRightArithmetic(rx, ry & 0xF)); break;

    // Stack.
    case 0xC0: push(m, rx); break;
    case 0xC1: rx = pop(m); break;
    case 0xC2:
        for (const std::uint16_t value : m.R) {
            push(m, value);
        }
        break;
    case 0xC3:
        for (int i = 15; i >= 0; --i) {
            m.R[i] = pop(m);
        }
        break;
    case 0xC4: push(m, packChip16Flags(m)); break;
    case 0xC5: unpackChip16Flags(m, pop(m)); break;

    default: executeOtherOpcode(m, word); break;
    }
}
