#pragma once
// WAV files of 16-bit mono samples.

#include <cstdint>
#include <span>
#include <string>

// False when the file cannot be written completely.
bool writeWavFile(const std::string& path, std::span<const std::int16_t> samples,
                  std::uint32_t sampleRate);
