#include "app/gui/key_mapping.h"

#include <linux/input-event-codes.h>

#include <array>
#include <string_view>

namespace {
constexpr int vkLeft = 0x25; // then up, right, down
constexpr int vkNumpad0 = 0x60;

// X11 and Wayland hand over the evdev code plus 8 as the native scan code.
constexpr quint32 evdevOffset = 8;

// The rows of a US keyboard by the evdev code of their first key; the codes along a
// row follow one another. Windows reads keys by place too, so these are the keys the
// machines' key maps were written for, whatever the layout prints on them.
struct KeyRow {
    quint32 firstCode;
    std::string_view virtualKeys;
};
constexpr std::array<KeyRow, 4> keyRows = {{
    {KEY_1, "1234567890"},
    {KEY_Q, "QWERTYUIOP"},
    {KEY_A, "ASDFGHJKL"},
    {KEY_Z, "ZXCVBNM"},
}};

int virtualKeyOfEvdev(quint32 code) {
    for (const KeyRow& row : keyRows) {
        if (code >= row.firstCode && code - row.firstCode < row.virtualKeys.size()) {
            return row.virtualKeys[code - row.firstCode];
        }
    }
    switch (code) {
    case KEY_LEFT: return vkLeft;
    case KEY_UP: return vkLeft + 1;
    case KEY_RIGHT: return vkLeft + 2;
    case KEY_DOWN: return vkLeft + 3;
    case KEY_KP0: return vkNumpad0;
    case KEY_KP1: return vkNumpad0 + 1;
    case KEY_KP2: return vkNumpad0 + 2;
    case KEY_KP3: return vkNumpad0 + 3;
    case KEY_KP4: return vkNumpad0 + 4;
    case KEY_KP5: return vkNumpad0 + 5;
    case KEY_KP6: return vkNumpad0 + 6;
    case KEY_KP7: return vkNumpad0 + 7;
    case KEY_KP8: return vkNumpad0 + 8;
    case KEY_KP9: return vkNumpad0 + 9;
    default: return -1;
    }
}

bool isTracked(quint32 scanCode, int limit) {
    return scanCode != 0 && scanCode < static_cast<quint32>(limit);
}
} // namespace

int virtualKeyOfScanCode(quint32 nativeScanCode) {
    return nativeScanCode >= evdevOffset ? virtualKeyOfEvdev(nativeScanCode - evdevOffset) : -1;
}

int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    // Qt's codes for 0-9 and A-Z are the ASCII values, as are Windows' virtual keys;
    // the keypad digits have codes of their own there.
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return modifiers.testFlag(Qt::KeypadModifier) ? vkNumpad0 + (qtKey - Qt::Key_0) : qtKey;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return qtKey;
    }
    switch (qtKey) {
    case Qt::Key_Left: return vkLeft;
    case Qt::Key_Up: return vkLeft + 1;
    case Qt::Key_Right: return vkLeft + 2;
    case Qt::Key_Down: return vkLeft + 3;
    default: return -1;
    }
}

int virtualKeyOf(const QKeyEvent& event) {
    // The character only where the platform gives no physical key.
    if (event.nativeScanCode() != 0) {
        return virtualKeyOfScanCode(event.nativeScanCode());
    }
    return virtualKeyOf(event.key(), event.modifiers());
}

int HeldKeys::press(const QKeyEvent& event) {
    const int virtualKey = virtualKeyOf(event);
    if (isTracked(event.nativeScanCode(), scanCodeCount)) {
        // Stored plus one, so that 0 means "nothing held".
        byScanCode_[event.nativeScanCode()] = virtualKey + 1;
    }
    return virtualKey;
}

int HeldKeys::release(const QKeyEvent& event) {
    if (isTracked(event.nativeScanCode(), scanCodeCount)) {
        int& held = byScanCode_[event.nativeScanCode()];
        if (held != 0) {
            const int virtualKey = held - 1;
            held = 0;
            return virtualKey;
        }
    }
    return virtualKeyOf(event);
}
