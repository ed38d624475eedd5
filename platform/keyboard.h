#pragma once
// Key state by Windows virtual-key code: the window writes it from key events, the
// machines poll it.

#include <cstdint>

constexpr int virtualKeyCount = 256;

// True while the key is held. Codes outside 0-255 are never down.
bool isKeyDown(int virtualKey);
void setKeyDown(int virtualKey, bool down);
void releaseAllKeys();
