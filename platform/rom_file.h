#pragma once
// Reading a ROM file into machine memory.

#include <cstddef>
#include <cstdint>
#include <optional>

// Reads at most `capacity` bytes from the start of the file into `destination` and
// returns how many were read, or nothing when the path is not a regular file that can
// be opened for reading (missing, a directory, a device or pipe, no permission). The
// rest of a longer file is never read. A pipe or device under the name is refused at
// once, without waiting for a writer, also when it replaces the file while it is opened.
std::optional<std::size_t> readRomFile(const char* path, std::uint8_t* destination,
                                       std::size_t capacity);
