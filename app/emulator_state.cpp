#include "app/emulator_state.h"

std::atomic<MachineKind> EmulatorMode{MachineKind::Chip16};
std::string romPath;
std::string romFileTitle;
std::atomic<std::uint8_t> flickerFilter{0};
std::atomic<std::int32_t> windowScale{2};
