#include "app/emulator_state.h"

std::string romPath;
std::string romFileTitle;
std::atomic<std::int32_t> windowScale{2};
std::atomic<Chip8Variant> chip8VariantChosen{Chip8Variant::Quorvix};
std::atomic<bool> chip16ExtendedChosen{false};
std::atomic<std::uint32_t> chip8SpeedChosen{0};
