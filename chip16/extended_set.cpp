#include "chip16/extended_set.h"

#include "chip16/sound.h"

namespace {
void setZeroNegative(Chip16Machine& m, std::uint16_t result) {
    m.zero = result == 0;
    m.negative = static_cast<std::uint8_t>(result >> 15);
}

// Both divisions work on the signed values in 32 bits, so -32768 by -1 (whose quotient
// does not fit in 16 bits) simply leaves no remainder. A zero divisor has no result;
// like DIV it gives 0.
std::int32_t signedRemainder(std::uint16_t x, std::uint16_t y) {
    const std::int32_t dividend = static_cast<std::int16_t>(x);
    const std::int32_t divisor = static_cast<std::int16_t>(y);
    return divisor == 0 ? 0 : dividend % divisor;
}

// The remainder takes the sign of the dividend (C++'s %).
std::uint16_t rem(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    const auto result = static_cast<std::uint16_t>(signedRemainder(x, y));
    setZeroNegative(m, result);
    return result;
}

// The modulus takes the sign of the divisor: a non-zero remainder of the other sign
// moves by one divisor.
std::uint16_t mod(Chip16Machine& m, std::uint16_t x, std::uint16_t y) {
    std::int32_t result = signedRemainder(x, y);
    const std::int32_t divisor = static_cast<std::int16_t>(y);
    if (result != 0 && (result < 0) != (divisor < 0)) {
        result += divisor;
    }
    const auto word = static_cast<std::uint16_t>(result);
    setZeroNegative(m, word);
    return word;
}

std::uint16_t logic(Chip16Machine& m, std::uint32_t value) {
    const auto result = static_cast<std::uint16_t>(value);
    setZeroNegative(m, result);
    return result;
}
} // namespace

void loadChip16Palette(Chip16Machine& m, std::uint16_t address) {
    for (std::uint32_t& colour : m.palette) {
        std::uint32_t rgb = 0;
        for (int channel = 0; channel < 3; ++channel) {
            rgb = (rgb << 8) | m.memory[address];
            address = static_cast<std::uint16_t>(address + 1);
        }
        colour = 0xFF000000u | rgb;
    }
}

bool executeChip16ExtendedInstruction(Chip16Machine& m, std::uint32_t word) {
    const unsigned x = (word >> 8) & 0xF;
    const unsigned y = (word >> 12) & 0xF;
    const unsigned z = (word >> 16) & 0xF;
    const auto immediate = static_cast<std::uint16_t>(word >> 16);
    std::uint16_t& rx = m.R[x];
    const std::uint16_t ry = m.R[y];

    switch (word & 0xFF) {
    case 0x0D: playChip16Tone(m, word); break;
    case 0x0E: setChip16ToneEnvelope(m, word); break;
    case 0xA3: rx = mod(m, rx, immediate); break;
    case 0xA4: rx = mod(m, rx, ry); break;
    case 0xA5: m.R[z] = mod(m, rx, ry); break;
    case 0xA6: rx = rem(m, rx, immediate); break;
    case 0xA7: rx = rem(m, rx, ry); break;
    case 0xA8: m.R[z] = rem(m, rx, ry); break;
    case 0xD0: loadChip16Palette(m, immediate); break;
    case 0xD1: loadChip16Palette(m, rx); break;
    case 0xE0: rx = logic(m, ~std::uint32_t{immediate}); break;
    case 0xE1: rx = logic(m, ~std::uint32_t{rx}); break;
    case 0xE2: rx = logic(m, ~std::uint32_t{ry}); break;
    case 0xE3: rx = logic(m, 0u - immediate); break;
    case 0xE4: rx = logic(m, 0u - rx); break;
    case 0xE5: rx = logic(m, 0u - ry); break;
    default: return false;
    }
    return true;
}
