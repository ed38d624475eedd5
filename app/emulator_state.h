#pragma once
// The shell's own process-wide settings.

#include "chip8/chip8_rules.h"
#include "machine/machine_settings.h"

#include <atomic>
#include <cstdint>
#include <string>

// The path that is opened, and the text the machine is chosen from (the file name
// after a Load, the whole path after a command-line start). Kept across Close.
extern std::string romPath;
extern std::string romFileTitle;

// The window scale chosen in the Screen menu; lasts for the run.
extern std::atomic<std::int32_t> windowScale;

// The user's machine choices (the Machine menu or the command line). They last for
// the run and reach a machine at its next start (Load or Reset).
extern std::atomic<Chip8Variant> chip8VariantChosen;
// Instructions per 1/60 s for the paced variants; 0 = each variant's own speed.
extern std::atomic<std::uint32_t> chip8SpeedChosen;
extern std::atomic<bool> chip16ExtendedChosen;
