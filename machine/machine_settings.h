#pragma once
// What both machines share: the kinds of machine, and which one a ROM's name selects.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class MachineKind : std::int32_t { Chip8 = 0, Chip16 = 1 };

// "0", "90", "180" or "270" (degrees clockwise a picture is turned); nothing for any
// other text.
std::optional<std::uint16_t> parseRotation(std::string_view text);

// Whether the rotation stands the picture on its side (90 or 270 degrees).
constexpr bool rotationTurnsSideways(std::uint16_t degrees) {
    return degrees == 90 || degrees == 270;
}

// Chip-16 when the name, lower-cased, contains ".c16" anywhere; Chip-8 otherwise.
MachineKind machineForRomName(std::string_view name);

// The text with A-Z lowered and nothing else changed, as the C locale's tolower does.
// The GUI toolkit switches the process to the user's locale, which must not decide
// which machine a name selects.
std::string asciiLowerCase(std::string_view text);
