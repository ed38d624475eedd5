#pragma once
// Reading a ROM file into machine memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads at most `capacity` bytes from the start of the file into `destination` and
// returns how many were read, or nothing when the path is not a regular file that can
// be opened for reading (missing, a directory, a device or pipe, no permission). The
// rest of a longer file is never read. A pipe or device under the name is refused at
// once, without waiting for a writer, also when it replaces the file while it is opened.
std::optional<std::size_t> readRomFile(const char* path, std::uint8_t* destination,
                                       std::size_t capacity);

// The most any machine takes from a ROM file: a Chip-16 header, a whole 64 KiB image
// and one byte more, which tells an image that was cut off from one that fits.
constexpr std::size_t romFileReadLimit = 16 + 65536 + 1;

// The file's first romFileReadLimit bytes (all of a shorter file), or nothing when
// readRomFile refuses it.
std::optional<std::vector<std::uint8_t>> readRomImage(const std::string& path);
