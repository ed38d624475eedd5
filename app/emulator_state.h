#pragma once
// The shell's own process-wide settings.

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
