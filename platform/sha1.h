#pragma once
// The SHA-1 digest of a byte block, which names a ROM in the programs database.

#include <cstddef>
#include <cstdint>
#include <string>

// 40 lower-case hexadecimal digits.
std::string sha1Hex(const std::uint8_t* data, std::size_t size);
