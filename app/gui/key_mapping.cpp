#include "app/gui/key_mapping.h"

#include <linux/input-event-codes.h>

#include <array>

namespace {
// X11 and Wayland hand over the input event code plus 8 as the native scan code.
constexpr quint32 evdevOffset = 8;

// The input codes of the letters A-Z and the digits 0-9, for platforms that only say
// which character a key typed.
constexpr std::array<int, 26> letterCodes = {
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
};
constexpr std::array<int, 10> digitCodes = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4,
                                            KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};

bool isTracked(quint32 scanCode, int limit) {
    return scanCode != 0 && scanCode < static_cast<quint32>(limit);
}
} // namespace

int inputCodeOfScanCode(quint32 nativeScanCode) {
    return nativeScanCode >= evdevOffset && nativeScanCode - evdevOffset <= KEY_MAX
               ? static_cast<int>(nativeScanCode - evdevOffset)
               : -1;
}

int inputCodeOfQtKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return digitCodes[static_cast<std::size_t>(qtKey - Qt::Key_0)];
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        return letterCodes[static_cast<std::size_t>(qtKey - Qt::Key_A)];
    }
    switch (qtKey) {
    case Qt::Key_Left: return KEY_LEFT;
    case Qt::Key_Up: return KEY_UP;
    case Qt::Key_Right: return KEY_RIGHT;
    case Qt::Key_Down: return KEY_DOWN;
    default: return -1;
    }
}

int inputCodeOf(const QKeyEvent& event) {
    // The character only where the platform gives no physical key.
    if (event.nativeScanCode() != 0) {
        return inputCodeOfScanCode(event.nativeScanCode());
    }
    return inputCodeOfQtKey(event.key());
}

int HeldKeys::press(const QKeyEvent& event) {
    const int inputCode = inputCodeOf(event);
    if (isTracked(event.nativeScanCode(), scanCodeCount)) {
        // Stored plus one, so that 0 means "nothing held".
        byScanCode_[event.nativeScanCode()] = inputCode + 1;
    }
    return inputCode;
}

int HeldKeys::release(const QKeyEvent& event) {
    if (isTracked(event.nativeScanCode(), scanCodeCount)) {
        int& held = byScanCode_[event.nativeScanCode()];
        if (held != 0) {
            const int inputCode = held - 1;
            held = 0;
            return inputCode;
        }
    }
    return inputCodeOf(event);
}
