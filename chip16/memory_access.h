#pragma once
// Little-endian accesses to Chip-16 memory. An access that runs past 0xFFFF continues at
// 0x0000, so no address a program can form reaches outside the 64 KiB.

#include "chip16/chip16_machine.h"

#include <bit>
#include <cstdint>
#include <cstring>

inline std::uint16_t readChip16Word(const Chip16Machine& m, std::uint16_t address) {
    const std::uint8_t low = m.memory[address];
    const std::uint8_t high = m.memory[static_cast<std::uint16_t>(address + 1)];
    return static_cast<std::uint16_t>(low | (high << 8));
}

inline void writeChip16Word(Chip16Machine& m, std::uint16_t address, std::uint16_t value) {
    m.memory[address] = static_cast<std::uint8_t>(value);
    m.memory[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

// The instruction word at `pc`: opcode in bits 0-7, then the three operand bytes.
inline std::uint32_t fetchChip16Instruction(const Chip16Machine& m, std::uint16_t pc) {
    if (pc <= chip16MemorySize - 4) [[likely]] {
        std::uint32_t word;
        std::memcpy(&word, &m.memory[pc], sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap32(word);
        }
        return word;
    }
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = (word << 8) | m.memory[static_cast<std::uint16_t>(pc + i)];
    }
    return word;
}

inline std::uint32_t fetchChip16Instruction(const Chip16Machine& m) {
    return fetchChip16Instruction(m, m.pc);
}
