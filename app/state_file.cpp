#include "app/state_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::string systemError() {
    return std::strerror(errno);
}

// The folder part of a path, for its own flush after the rename ("." for a bare name).
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(const FileWriteCalls& calls, int file, std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = calls.write(file, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count == 0) {
            // A device that takes nothing and reports no error would loop forever.
            errno = ENOSPC;
            return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}
} // namespace

const FileWriteCalls& systemFileWriteCalls() {
    static const FileWriteCalls calls{
        [](const char* path) {
            return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        },
        [](int file, const void* data, std::size_t size) { return ::write(file, data, size); },
        [](int file) { return ::fsync(file); },
        [](const char* from, const char* to) { return ::rename(from, to); },
    };
    return calls;
}

std::string replaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                        const FileWriteCalls& calls) {
    // In the same folder, so that the rename never crosses file systems and replaces
    // the old file in one step.
    const std::string temporary = path + ".part";
    const int file = calls.create(temporary.c_str());
    if (file < 0) {
        return systemError();
    }
    // The data reaches the disk before the name does: a crash after the rename must
    // not find a file the disk never received.
    bool done = writeAll(calls, file, bytes) && calls.sync(file) == 0;
    std::string error = done ? std::string() : systemError();
    if (::close(file) != 0 && done) {
        done = false;
        error = systemError();
    }
    if (done && calls.rename(temporary.c_str(), path.c_str()) != 0) {
        done = false;
        error = systemError();
    }
    if (!done) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself lasts once the folder is flushed too; a folder that cannot be
    // flushed still holds the new file, so that is no failure.
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}
