#pragma once
// Which Windows virtual-key code a Qt key event stands for, as far as the machines
// read keys: digits, letters and the arrow keys.

#include <QKeyEvent>

// -1 for keys the machines never read.
int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// Remembers which code each physical key pressed, so that its release clears the same
// code even when a modifier changed the key's meaning in between (Shift+1 is "!").
class HeldKeys {
  public:
    // Both return the code to set or clear, or -1.
    int press(const QKeyEvent& event);
    int release(const QKeyEvent& event);

  private:
    static constexpr int scanCodeCount = 512;
    int byScanCode_[scanCodeCount] = {};
};
