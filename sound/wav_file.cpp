#include "sound/wav_file.h"

#include <cstdio>
#include <vector>

namespace {
void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}
} // namespace

bool writeWavFile(const std::string& path, std::span<const std::int16_t> samples,
                  std::uint32_t sampleRate) {
    // RIFF sizes are 32 bits: a longer recording does not fit the format.
    constexpr std::uint64_t headerBytes = 44;
    const std::uint64_t dataBytes = samples.size() * 2;
    if (dataBytes + headerBytes - 8 > 0xFFFF'FFFFu) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(headerBytes + dataBytes);
    putTag(bytes, "RIFF");
    putLittleEndian(bytes, static_cast<std::uint32_t>(dataBytes + headerBytes - 8), 4);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putLittleEndian(bytes, 16, 4); // the format chunk's size
    putLittleEndian(bytes, 1, 2);  // PCM
    putLittleEndian(bytes, 1, 2);  // mono
    putLittleEndian(bytes, sampleRate, 4);
    putLittleEndian(bytes, sampleRate * 2, 4); // bytes per second
    putLittleEndian(bytes, 2, 2);              // bytes per frame
    putLittleEndian(bytes, 16, 2);             // bits per sample
    putTag(bytes, "data");
    putLittleEndian(bytes, static_cast<std::uint32_t>(dataBytes), 4);
    for (const std::int16_t sample : samples) {
        putLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A full disk may only show when the last buffer goes out at the close.
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}
