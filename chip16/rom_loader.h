#pragma once
// Loading a Chip-16 ROM image into the machine's memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The 16-byte header most Chip-16 files carry in front of their memory image.
constexpr std::size_t chip16HeaderSize = 16;

struct Chip16Header {
    std::uint8_t version = 0;
    std::uint32_t imageSize = 0;
    std::uint16_t startAddress = 0;
    std::uint32_t imageCrc32 = 0;
};

// The header of a file's first bytes, or nothing for a raw image (no "CH16" magic, or
// fewer than 16 bytes).
std::optional<Chip16Header> parseChip16Header(std::span<const std::uint8_t> file);

struct Chip16State;

// Zeroes memory, then copies the file's image into memory from address 0 on, cut off at
// the end of memory. A "CH16" header is taken off, its start address becomes the
// machine's startAddress and a size or CRC-32 that does not match the image is reported
// (the image still loads).
void loadChip16Rom(Chip16State& m, std::span<const std::uint8_t> file);
