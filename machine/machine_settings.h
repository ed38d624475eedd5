#pragma once
// What both machines share: the kinds of machine, and which one a ROM's name selects.

#include <cstdint>
#include <string>
#include <string_view>

enum class MachineKind : std::int32_t { Chip8 = 0, Chip16 = 1 };

// Chip-16 when the name, lower-cased, contains ".c16" anywhere; Chip-8 otherwise.
MachineKind machineForRomName(std::string_view name);

// The text with A-Z lowered and nothing else changed, as the C locale's tolower does.
// The GUI toolkit switches the process to the user's locale, which must not decide
// which machine a name selects.
std::string asciiLowerCase(std::string_view text);
