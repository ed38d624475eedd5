#pragma once
// What both machines and their displays share: which machine the current ROM drives,
// and the menu toggles they read while running.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

enum class MachineKind : std::int32_t { Chip8 = 0, Chip16 = 1 };

// Which machine the current ROM drives. Written by the GUI thread only while no
// worker runs; "tExecute" reads it once per step.
extern std::atomic<MachineKind> EmulatorMode;

// Skip CHIP-8 frames in which the last sprite drawn erased a pixel; a menu toggle that
// lasts for the run.
extern std::atomic<std::uint8_t> flickerFilter;

// Chip-16 when the name, lower-cased, contains ".c16" anywhere; Chip-8 otherwise.
MachineKind machineForRomName(std::string_view name);

// The text with A-Z lowered and nothing else changed, as the C locale's tolower does.
// The GUI toolkit switches the process to the user's locale, which must not decide
// which machine a name selects.
std::string asciiLowerCase(std::string_view text);
