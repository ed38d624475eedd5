#include "platform/keyboard.h"

#include <array>
#include <atomic>

namespace {
std::array<std::atomic<bool>, virtualKeyCount> keysDown{};

bool isValidKey(int virtualKey) {
    return virtualKey >= 0 && virtualKey < virtualKeyCount;
}
} // namespace

bool isKeyDown(int virtualKey) {
    return isValidKey(virtualKey) && keysDown[virtualKey].load(std::memory_order_relaxed);
}

void setKeyDown(int virtualKey, bool down) {
    if (isValidKey(virtualKey)) {
        keysDown[virtualKey].store(down, std::memory_order_relaxed);
    }
}

void releaseAllKeys() {
    for (auto& key : keysDown) {
        key.store(false, std::memory_order_relaxed);
    }
}
