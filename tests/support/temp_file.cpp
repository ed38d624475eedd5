#include "tests/support/temp_file.h"

#include <fstream>
#include <random>

TempDirectory::TempDirectory() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("quorvix-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::write(const std::string& name,
                                 const std::vector<std::uint8_t>& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

std::filesystem::path sharedRomFolder() {
    const std::filesystem::path folder = QUORVIX_SHARED_ROMS;
    std::error_code error;
    return std::filesystem::is_directory(folder, error) ? folder : std::filesystem::path{};
}
