#pragma once
// --poke ADDR=BYTE: a byte written into machine memory after every load of the ROM.

#include <cstdint>
#include <optional>
#include <string_view>

struct Poke {
    std::uint32_t address = 0;
    std::uint8_t value = 0;
};

// ADDR and BYTE in decimal or with a 0x prefix in hexadecimal; BYTE at most 255.
std::optional<Poke> parsePoke(std::string_view text);

// A number in decimal or, with a 0x prefix, in hexadecimal.
std::optional<std::uint32_t> parseNumber(std::string_view text);
