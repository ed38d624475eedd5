#pragma once
// Which physical key a Qt key event stands for, as a Linux input event code (see
// app/key_tables.h): keys count by their place on the keyboard, not by the character
// typed, so the key right of Tab is Q on a French keyboard too, and "1" held with Shift
// is still "1".

#include <QKeyEvent>

// -1 for events that name no key the machines could read.
int inputCodeOf(const QKeyEvent& event);

// By the native scan code of X11 and Wayland (the input event code plus 8).
int inputCodeOfScanCode(quint32 nativeScanCode);
// By Qt's key, for platforms that give no scan code: digits, letters and arrows.
int inputCodeOfQtKey(int qtKey);

// Remembers which key each physical key pressed, so that its release clears the same
// key even when the event's other fields changed in between.
class HeldKeys {
  public:
    // Both return the input code to set or clear, or -1.
    int press(const QKeyEvent& event);
    int release(const QKeyEvent& event);

  private:
    static constexpr int scanCodeCount = 512;
    int byScanCode_[scanCodeCount] = {};
};
