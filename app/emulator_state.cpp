#include "app/emulator_state.h"

std::string romPath;
std::string romFileTitle;
std::atomic<std::int32_t> windowScale{2};
