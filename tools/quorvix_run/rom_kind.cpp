#include "tools/quorvix_run/rom_kind.h"

#include <algorithm>
#include <cctype>
#include <string>

MachineKind machineForRomPath(std::string_view path) {
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(".c16") != std::string::npos ? MachineKind::Chip16 : MachineKind::Chip8;
}
