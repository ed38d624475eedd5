#include "app/gui/key_mapping.h"

namespace {
constexpr int vkLeft = 0x25; // then up, right, down
constexpr int vkNumpad0 = 0x60;

bool isTracked(quint32 scanCode, int limit) {
    return scanCode != 0 && scanCode < static_cast<quint32>(limit);
}
} // namespace

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

int HeldKeys::press(const QKeyEvent& event) {
    const int virtualKey = virtualKeyOf(event.key(), event.modifiers());
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
    return virtualKeyOf(event.key(), event.modifiers());
}
