#pragma once
// Which Windows virtual-key code a Qt key event stands for, as far as the machines
// read keys: digits, letters, the keypad digits and the arrow keys. Keys count by
// their place on the keyboard, as Windows reads them, not by the character typed:
// the key right of Tab is Q on a French keyboard too, and "1" held with Shift is
// still "1".

#include <QKeyEvent>

// -1 for keys the machines never read.
int virtualKeyOf(const QKeyEvent& event);

// By the native scan code of X11 and Wayland (the evdev code plus 8).
int virtualKeyOfScanCode(quint32 nativeScanCode);
// By Qt's key, for platforms that give no scan code.
int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// Remembers which code each physical key pressed, so that its release clears the same
// code even when the event's other fields changed in between.
class HeldKeys {
  public:
    // Both return the code to set or clear, or -1.
    int press(const QKeyEvent& event);
    int release(const QKeyEvent& event);

  private:
    static constexpr int scanCodeCount = 512;
    int byScanCode_[scanCodeCount] = {};
};
