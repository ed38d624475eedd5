#include "machine/machine_settings.h"

std::string asciiLowerCase(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lowered;
}

MachineKind machineForRomName(std::string_view name) {
    return asciiLowerCase(name).find(".c16") != std::string::npos ? MachineKind::Chip16
                                                                  : MachineKind::Chip8;
}
