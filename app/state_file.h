#pragma once
// Files written whole or not at all: the bytes go to a temporary file in the same
// folder, which is flushed to the disk and then renamed over the old file, so a crash or
// a full disk at any moment leaves either the old file or the new one, never a part.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include <sys/types.h>

// The system calls a write goes through; a test puts a failing one in place to see what
// a full disk or a read-only folder does. Each returns what the system call returns and
// sets errno as it does.
struct FileWriteCalls {
    // Creates (or empties) the file for writing; a descriptor, or -1.
    std::function<int(const char* path)> create;
    std::function<ssize_t(int file, const void* data, std::size_t size)> write;
    std::function<int(int file)> sync;
    std::function<int(const char* from, const char* to)> rename;
};

// The real system calls.
const FileWriteCalls& systemFileWriteCalls();

// Replaces the file at `path` with `bytes`. Returns an empty string when the new file is
// in place, or what went wrong ("No space left on device", ...) when the file at `path`
// is still the one that was there before (or still none).
std::string replaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                        const FileWriteCalls& calls = systemFileWriteCalls());
