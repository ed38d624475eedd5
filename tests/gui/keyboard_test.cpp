#include "tests/gui/shell_fixture.h"

#include "app/gui/key_mapping.h"
#include "platform/keyboard.h"
#include "platform/qt/picture_widget.h"

#include <QMenu>

namespace {
constexpr int vkLeft = 0x25;

TEST(KeyMappingTest, DigitsLettersAndArrowsBecomeWindowsVirtualKeys) {
    const struct {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int virtualKey;
    } cases[] = {
        {Qt::Key_0, {}, '0'},
        {Qt::Key_V, Qt::ShiftModifier, 'V'},
        {Qt::Key_Left, {}, vkLeft},
        {Qt::Key_1, Qt::KeypadModifier, 0x61},
        {Qt::Key_Exclam, Qt::ShiftModifier, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(virtualKeyOf(c.qtKey, c.modifiers), c.virtualKey) << c.qtKey;
    }
}

using KeyboardTest = ShellTest;

void sendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
             bool autoRepeat = false, quint32 scanCode = 0) {
    QKeyEvent event(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
    QApplication::sendEvent(to, &event);
}

TEST_F(KeyboardTest, KeyEventsFillTheKeyTableUntilTheWindowLosesTheKeyboard) {
    start();
    QWidget* picture = window->picture();
    releaseAllKeys();
    sendKey(picture, QEvent::KeyPress, Qt::Key_W, {}, true);
    EXPECT_FALSE(isKeyDown('W')); // a repeat never starts a press
    sendKey(picture, QEvent::KeyPress, Qt::Key_W);
    sendKey(picture, QEvent::KeyPress, Qt::Key_Left);
    EXPECT_TRUE(isKeyDown('W') && isKeyDown(vkLeft));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W, {}, true);
    EXPECT_TRUE(isKeyDown('W'));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W);
    EXPECT_FALSE(isKeyDown('W'));
    EXPECT_TRUE(isKeyDown(vkLeft));

    // "1" pressed, then Shift: the same physical key is released as "!".
    sendKey(picture, QEvent::KeyPress, Qt::Key_1, {}, false, 10);
    sendKey(picture, QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, false, 10);
    EXPECT_FALSE(isKeyDown('1'));

    // An open menu, and another window, take the keyboard: every key goes up.
    Q_EMIT qobject_cast<QMenu*>(window->menuAction(command::reset)->parent())->aboutToShow();
    EXPECT_FALSE(isKeyDown(vkLeft));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    sendKey(picture, QEvent::KeyPress, Qt::Key_Z);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, 5000));
    EXPECT_FALSE(isKeyDown('Z'));
}
// X11 and Wayland key codes (evdev + 8) of keys by their place on the keyboard.
constexpr quint32 placeOf1 = 10, placeOf2 = 11, placeOf3 = 12, placeOf4 = 13, placeOfQ = 24,
                  placeOfW = 25, placeOfA = 38, placeOfZ = 52, placeOfUp = 111, placeOfF1 = 67;

TEST_F(KeyboardTest, KeysCountByTheirPlaceWhateverTheLayoutTypes) {
    start();
    QWidget* picture = window->picture();
    releaseAllKeys();
    // A French keyboard: the digit row types & é " ' and the letters A Z sit where a US
    // keyboard has Q W, Q where it has A and W where it has Z.
    const struct {
        int typed;
        quint32 place;
        int virtualKey;
    } french[] = {
        {Qt::Key_Ampersand, placeOf1, '1'}, {Qt::Key_Eacute, placeOf2, '2'},
        {Qt::Key_QuoteDbl, placeOf3, '3'},  {Qt::Key_Apostrophe, placeOf4, '4'},
        {Qt::Key_A, placeOfQ, 'Q'},         {Qt::Key_Z, placeOfW, 'W'},
        {Qt::Key_Q, placeOfA, 'A'},         {Qt::Key_W, placeOfZ, 'Z'},
        {Qt::Key_Up, placeOfUp, 0x26},
    };
    for (const auto& key : french) {
        sendKey(picture, QEvent::KeyPress, key.typed, {}, false, key.place);
        EXPECT_TRUE(isKeyDown(key.virtualKey)) << key.virtualKey;
        if (key.typed >= Qt::Key_A && key.typed <= Qt::Key_Z) {
            EXPECT_FALSE(isKeyDown(key.typed)) << "the printed letter " << char(key.typed);
        }
        sendKey(picture, QEvent::KeyRelease, key.typed, {}, false, key.place);
        EXPECT_FALSE(isKeyDown(key.virtualKey)) << key.virtualKey;
    }

    // A scan code decides even when the key it types is one the machines read.
    sendKey(picture, QEvent::KeyPress, Qt::Key_A, {}, false, placeOfF1);
    EXPECT_FALSE(isKeyDown('A'));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_A, {}, false, placeOfF1);
}
} // namespace
