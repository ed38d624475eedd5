#pragma once
// Process-wide settings shared by the shell, the machines and the displays.

#include <atomic>
#include <cstdint>
#include <string>

enum class MachineKind : std::int32_t { Chip8 = 0, Chip16 = 1 };

// Which machine the current ROM drives. Written by the GUI thread only while no
// worker runs; "tExecute" reads it once per step.
extern std::atomic<MachineKind> EmulatorMode;

// The path that is opened, and the text the machine is chosen from (the file name
// after a Load, the whole path after a command-line start). Kept across Close.
extern std::string romPath;
extern std::string romFileTitle;

// Menu toggles that last for the run.
extern std::atomic<std::uint8_t> flickerFilter;
extern std::atomic<std::int32_t> windowScale;
