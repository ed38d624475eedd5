#include "tests/gui/shell_fixture.h"

#include "app/gui/key_mapping.h"
#include "platform/keyboard.h"
#include "platform/qt/picture_widget.h"

#include <QMenu>

namespace {
constexpr int vkLeft = 0x25, vkUp = 0x26, vkRight = 0x27, vkDown = 0x28;

TEST(KeyMappingTest, DigitsLettersAndArrowsBecomeWindowsVirtualKeys) {
    const struct {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int virtualKey;
    } cases[] = {
        {Qt::Key_1, Qt::NoModifier, '1'},        {Qt::Key_0, Qt::NoModifier, '0'},
        {Qt::Key_Q, Qt::NoModifier, 'Q'},        {Qt::Key_V, Qt::ShiftModifier, 'V'},
        {Qt::Key_Z, Qt::NoModifier, 'Z'},        {Qt::Key_Left, Qt::NoModifier, vkLeft},
        {Qt::Key_Up, Qt::NoModifier, vkUp},      {Qt::Key_Right, Qt::NoModifier, vkRight},
        {Qt::Key_Down, Qt::NoModifier, vkDown},  {Qt::Key_1, Qt::KeypadModifier, 0x61},
        {Qt::Key_Escape, Qt::NoModifier, -1},    {Qt::Key_Space, Qt::NoModifier, -1},
        {Qt::Key_Exclam, Qt::ShiftModifier, -1}, {Qt::Key_F1, Qt::NoModifier, -1},
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

TEST_F(KeyboardTest, PressAndReleaseFillTheKeyTableIgnoringAutoRepeat) {
    start();
    QWidget* picture = window->picture();
    releaseAllKeys();
    sendKey(picture, QEvent::KeyPress, Qt::Key_W, {}, true);
    EXPECT_FALSE(isKeyDown('W')); // a repeat never starts a press

    sendKey(picture, QEvent::KeyPress, Qt::Key_W);
    sendKey(picture, QEvent::KeyPress, Qt::Key_Left);
    EXPECT_TRUE(isKeyDown('W'));
    EXPECT_TRUE(isKeyDown(vkLeft));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W, {}, true);
    EXPECT_TRUE(isKeyDown('W'));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W);
    EXPECT_FALSE(isKeyDown('W'));
    EXPECT_TRUE(isKeyDown(vkLeft));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_Left);
    EXPECT_FALSE(isKeyDown(vkLeft));
}

TEST_F(KeyboardTest, ReleaseClearsWhatThePhysicalKeyPressed) {
    start();
    releaseAllKeys();
    // "1" pressed, Shift pressed meanwhile: the same key is released as "!".
    sendKey(window->picture(), QEvent::KeyPress, Qt::Key_1, {}, false, 10);
    EXPECT_TRUE(isKeyDown('1'));
    sendKey(window->picture(), QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, false, 10);
    EXPECT_FALSE(isKeyDown('1'));
}

TEST_F(KeyboardTest, LosingTheKeyboardReleasesEveryKey) {
    start();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    sendKey(window->picture(), QEvent::KeyPress, Qt::Key_Z);
    ASSERT_TRUE(isKeyDown('Z'));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, 5000));
    EXPECT_FALSE(isKeyDown('Z'));

    // An open menu takes the keyboard as well.
    sendKey(window->picture(), QEvent::KeyPress, Qt::Key_X);
    ASSERT_TRUE(isKeyDown('X'));
    Q_EMIT qobject_cast<QMenu*>(window->menuAction(command::reset)->parent())->aboutToShow();
    EXPECT_FALSE(isKeyDown('X'));
}
} // namespace
