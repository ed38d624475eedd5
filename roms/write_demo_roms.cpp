// quorvix-demo-roms <folder>: writes demo.ch8, demo-xochip.ch8 and demo.c16 into the
// folder.

#include "roms/demo_programs.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvix-demo-roms <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!writeFile(folder / "demo.ch8", chip8DemoRom()) ||
        !writeFile(folder / "demo-xochip.ch8", xoChipDemoRom()) ||
        !writeFile(folder / "demo.c16", chip16DemoRom())) {
        std::fprintf(stderr, "quorvix-demo-roms: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
