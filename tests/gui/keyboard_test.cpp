#include "tests/gui/shell_fixture.h"

#include "app/chip16_runtime.h"
#include "app/gui/key_mapping.h"
#include "platform/qt/picture_widget.h"

#include <QMenu>

namespace {
TEST(KeyMappingTest, DigitsLettersAndArrowsBecomeInputCodes) {
    const struct {
        int qtKey;
        int inputCode;
    } cases[] = {
        {Qt::Key_0, 11},     // KEY_0
        {Qt::Key_1, 2},      // KEY_1
        {Qt::Key_V, 47},     // KEY_V
        {Qt::Key_Q, 16},     // KEY_Q
        {Qt::Key_Left, 105}, // KEY_LEFT
        {Qt::Key_Up, 103},   // KEY_UP
        {Qt::Key_Exclam, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(inputCodeOfQtKey(c.qtKey), c.inputCode) << c.qtKey;
    }
}

class KeyboardTest : public ShellTest {
  protected:
    bool chip8KeyDown(unsigned key) { return chip8() != nullptr && chip8()->keys.isDown(key); }
    bool chip16ButtonDown(unsigned bit) {
        auto* runtime = dynamic_cast<Chip16Runtime*>(machine());
        return runtime != nullptr && runtime->machine().keys.isDown(bit);
    }
};

void sendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
             bool autoRepeat = false, quint32 scanCode = 0) {
    QKeyEvent event(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
    QApplication::sendEvent(to, &event);
}

// The CHIP-8 keypad sits on the left block of a US keyboard: 1 2 3 4 / Q W E R /
// A S D F / Z X C V are the keys 1 2 3 C / 4 5 6 D / 7 8 9 E / A 0 B F.
TEST_F(KeyboardTest, KeyEventsHoldTheMachinesKeysUntilTheWindowLosesTheKeyboard) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    ASSERT_NE(chip8(), nullptr);
    QWidget* picture = window->picture();
    control().releaseKeys();
    sendKey(picture, QEvent::KeyPress, Qt::Key_W, {}, true);
    EXPECT_FALSE(chip8KeyDown(0x5)); // a repeat never starts a press
    sendKey(picture, QEvent::KeyPress, Qt::Key_W);
    sendKey(picture, QEvent::KeyPress, Qt::Key_R);
    EXPECT_TRUE(chip8KeyDown(0x5) && chip8KeyDown(0xD));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W, {}, true);
    EXPECT_TRUE(chip8KeyDown(0x5));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_W);
    EXPECT_FALSE(chip8KeyDown(0x5));
    EXPECT_TRUE(chip8KeyDown(0xD));

    // "1" pressed, then Shift: the same physical key is released as "!".
    sendKey(picture, QEvent::KeyPress, Qt::Key_1, {}, false, 10);
    EXPECT_TRUE(chip8KeyDown(0x1));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, false, 10);
    EXPECT_FALSE(chip8KeyDown(0x1));

    // An open menu, and another window, take the keyboard: every key goes up.
    Q_EMIT qobject_cast<QMenu*>(window->menuAction(command::reset)->parent())->aboutToShow();
    EXPECT_FALSE(chip8KeyDown(0xD));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    sendKey(picture, QEvent::KeyPress, Qt::Key_Z);
    EXPECT_TRUE(chip8KeyDown(0xA));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isActiveWindow(); }, 5000));
    EXPECT_FALSE(chip8KeyDown(0xA));
}
// X11 and Wayland key codes (evdev + 8) of keys by their place on the keyboard.
constexpr quint32 placeOf1 = 10, placeOf2 = 11, placeOf3 = 12, placeOf4 = 13, placeOfQ = 24,
                  placeOfW = 25, placeOfA = 38, placeOfZ = 52, placeOfUp = 111, placeOfF1 = 67;

TEST_F(KeyboardTest, KeysCountByTheirPlaceWhateverTheLayoutTypes) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    ASSERT_NE(chip8(), nullptr);
    QWidget* picture = window->picture();
    control().releaseKeys();
    // A French keyboard: the digit row types & é " ' and the letters A Z sit where a US
    // keyboard has Q W, Q where it has A and W where it has Z. `printed` is the CHIP-8
    // key of the printed letter's place on a US keyboard (-1: none).
    const struct {
        int typed;
        quint32 place;
        unsigned key;
        int printed;
    } french[] = {
        {Qt::Key_Ampersand, placeOf1, 0x1, -1}, {Qt::Key_Eacute, placeOf2, 0x2, -1},
        {Qt::Key_QuoteDbl, placeOf3, 0x3, -1},  {Qt::Key_Apostrophe, placeOf4, 0xC, -1},
        {Qt::Key_A, placeOfQ, 0x4, 0x7},        {Qt::Key_Z, placeOfW, 0x5, 0xA},
        {Qt::Key_Q, placeOfA, 0x7, 0x4},        {Qt::Key_W, placeOfZ, 0xA, 0x5},
    };
    for (const auto& key : french) {
        sendKey(picture, QEvent::KeyPress, key.typed, {}, false, key.place);
        EXPECT_TRUE(chip8KeyDown(key.key)) << key.key;
        if (key.printed >= 0) {
            EXPECT_FALSE(chip8KeyDown(static_cast<unsigned>(key.printed)))
                << "the printed letter " << char(key.typed);
        }
        sendKey(picture, QEvent::KeyRelease, key.typed, {}, false, key.place);
        EXPECT_FALSE(chip8KeyDown(key.key)) << key.key;
    }

    // A scan code decides even when the key it types is one the machines read.
    sendKey(picture, QEvent::KeyPress, Qt::Key_A, {}, false, placeOfF1);
    EXPECT_FALSE(chip8KeyDown(0x7));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_A, {}, false, placeOfF1);

    // The arrows by their place too: Up is the Chip-16 controller's bit 0.
    load(folder.write("spin.c16", chip16Spin));
    sendKey(picture, QEvent::KeyPress, Qt::Key_Up, {}, false, placeOfUp);
    EXPECT_TRUE(chip16ButtonDown(0));
    sendKey(picture, QEvent::KeyRelease, Qt::Key_Up, {}, false, placeOfUp);
    EXPECT_FALSE(chip16ButtonDown(0));
}
} // namespace
