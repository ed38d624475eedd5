#include "chip16/rom_loader.h"

#include "chip16/chip16_machine.h"
#include "platform/console_log.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace {
std::uint32_t readLittleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
    // zlib takes the length as uInt; an image never exceeds 64 KiB.
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

// The header describes the file's image; a mismatch is worth a word in the console but
// the image is run regardless, as many published files carry stale checksums.
void reportHeaderMismatch(const Chip16Header& header, std::span<const std::uint8_t> image,
                          bool imageCutOff) {
    if (imageCutOff) {
        logMessage("Warning: Chip-16 image is larger than 64 KiB (header says %u bytes); "
                   "only the first 64 KiB are loaded",
                   header.imageSize);
        return;
    }
    if (header.imageSize != image.size()) {
        logMessage("Warning: Chip-16 header says the image has %u bytes, the file holds %zu",
                   header.imageSize, image.size());
    }
    const std::uint32_t crc = crc32Of(image);
    if (crc != header.imageCrc32) {
        logMessage("Warning: Chip-16 image CRC-32 is %08x, the header says %08x", crc,
                   header.imageCrc32);
    }
}
} // namespace

std::optional<Chip16Header> parseChip16Header(std::span<const std::uint8_t> file) {
    if (file.size() < chip16HeaderSize || std::memcmp(file.data(), "CH16", 4) != 0) {
        return std::nullopt;
    }
    Chip16Header header;
    header.version = file[5];
    header.imageSize = readLittleEndian(&file[6], 4);
    header.startAddress = static_cast<std::uint16_t>(readLittleEndian(&file[10], 2));
    header.imageCrc32 = readLittleEndian(&file[12], 4);
    return header;
}

void loadChip16Rom(Chip16State& m, std::span<const std::uint8_t> file) {
    m.memory.fill(0);
    m.startAddress = 0;

    std::span<const std::uint8_t> image = file;
    const std::optional<Chip16Header> header = parseChip16Header(image);
    if (header) {
        image = image.subspan(chip16HeaderSize);
        const bool cutOff = image.size() > chip16MemorySize;
        if (cutOff) {
            image = image.first(chip16MemorySize);
        }
        reportHeaderMismatch(*header, image, cutOff);
        m.startAddress = header->startAddress;
    }
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), chip16MemorySize),
                m.memory.begin());
}
