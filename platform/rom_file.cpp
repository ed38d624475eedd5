#include "platform/rom_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::size_t> readRomFile(const char* path, std::uint8_t* destination,
                                       std::size_t capacity) {
    if (path == nullptr) {
        return std::nullopt;
    }
    // Without O_NONBLOCK, opening a pipe that has no writer waits for one forever. The
    // decision is made on the opened descriptor, so a file swapped for something else
    // under the same name cannot slip in between a check and the open.
    const int file = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        return std::nullopt;
    }
    std::size_t count = 0;
    while (count < capacity) {
        const ssize_t got = ::read(file, destination + count, capacity - count);
        if (got > 0) {
            count += static_cast<std::size_t>(got);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(file);
            return std::nullopt;
        }
    }
    ::close(file);
    return count;
}

std::optional<std::vector<std::uint8_t>> readRomImage(const std::string& path) {
    std::vector<std::uint8_t> image(romFileReadLimit);
    const std::optional<std::size_t> length = readRomFile(path.c_str(), image.data(), image.size());
    if (!length) {
        return std::nullopt;
    }
    image.resize(*length);
    return image;
}
