#include "tests/gui/shell_fixture.h"

#include "app/gui/key_mapping.h"
#include "platform/keyboard.h"
#include "platform/qt/picture_widget.h"

#include <QMenu>

namespace {
constexpr int vkLeft = 0x25, vkDown = 0x28;

TEST(KeyMappingTest, DigitsLettersAndArrowsBecomeWindowsVirtualKeys) {
    const struct {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int virtualKey;
    } cases[] = {
        {Qt::Key_0, {}, '0'},
        {Qt::Key_V, Qt::ShiftModifier, 'V'},
        {Qt::Key_Left, {}, vkLeft},
        {Qt::Key_Down, {}, vkDown},
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
} // namespace
