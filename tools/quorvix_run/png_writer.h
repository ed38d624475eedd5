#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height 0xAARRGGBB pixels, top row first, as an 8-bit RGB PNG.
// False when the file cannot be written.
bool writePng(const std::string& path, const std::vector<std::uint32_t>& pixels,
              std::uint32_t width, std::uint32_t height);
