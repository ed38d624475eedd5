#include "machine/machine_settings.h"

std::optional<std::uint16_t> parseRotation(std::string_view text) {
    for (const std::uint16_t degrees : {0, 90, 180, 270}) {
        if (text == std::to_string(degrees)) {
            return degrees;
        }
    }
    return std::nullopt;
}

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
