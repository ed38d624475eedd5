#include "platform/rom_file.h"

#include <cstdio>
#include <sys/stat.h>

std::optional<std::size_t> readRomFile(const char* path, std::uint8_t* destination,
                                       std::size_t capacity) {
    // Checked before opening: opening a pipe for reading would block until a writer
    // appears.
    struct stat status {};
    if (path == nullptr || ::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    // The path may have been replaced between the two checks.
    if (::fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return std::nullopt;
    }
    const std::size_t count = std::fread(destination, 1, capacity, file);
    std::fclose(file);
    return count;
}
