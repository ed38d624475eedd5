#pragma once
// Files and folders for tests, removed again when the test ends.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TempDirectory {
  public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file in the folder and returns its full path.
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

  private:
    std::filesystem::path path_;
};

// The external test ROMs, or an empty path when that folder is not there.
std::filesystem::path sharedRomFolder();
