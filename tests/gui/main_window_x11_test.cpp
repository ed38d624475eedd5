// The main window on an X server of the test's own (Xvfb, 640 x 480, no window
// manager, key auto-repeat on as the server starts it), driven by the X test
// extension as a user's keyboard and mouse would.

#include "app/chip8_runtime.h"
#include "app/gui/main_window.h"
#include "app/machine_control.h"
#include "platform/command_ids.h"
#include "platform/qt/picture_widget.h"
#include "tests/support/temp_file.h"
#include "tests/support/virtual_x_server.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <memory>

namespace {
std::unique_ptr<VirtualXServer> server;
std::unique_ptr<QApplication> application;

// Keycodes of a US keyboard on the X server: the evdev code plus 8.
constexpr std::uint8_t keycodeEscape = 9;
constexpr std::uint8_t keycodeW = 25;
constexpr std::uint8_t keycodeS = 39;
// W and S stand for the CHIP-8 keys 5 and 8.
constexpr unsigned chip8KeyW = 0x5;
constexpr unsigned chip8KeyS = 0x8;

// Input as if from the devices, on a connection of its own.
class FakeInput {
  public:
    FakeInput() : connection_(xcb_connect(server->display().c_str(), nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~FakeInput() { xcb_disconnect(connection_); }
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    void key(std::uint8_t keycode, bool down) {
        send(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, 0, 0);
    }
    void click(QPoint at) {
        send(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(at.x()),
             static_cast<std::int16_t>(at.y()));
        send(XCB_BUTTON_PRESS, 1, 0, 0);
        send(XCB_BUTTON_RELEASE, 1, 0, 0);
    }

  private:
    void send(std::uint8_t type, std::uint8_t detail, std::int16_t x, std::int16_t y) {
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_, x, y, 0);
        // A round trip: the server has acted on it before the test goes on.
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

class MainWindowOnXTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!application) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        window = std::make_unique<MainWindow>();
        // A CHIP-8 program that spins on one jump, for its keys and its window size.
        const std::string rom = folder.write("spin.ch8", {0x12, 0x00});
        const char* arguments[] = {"quorvix", rom.c_str()};
        window->control().takeRomFromCommandLine(2, arguments);
        window->initialise();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    bool chip8KeyDown(unsigned key) {
        auto* runtime = dynamic_cast<Chip8Runtime*>(window->control().machine());
        return runtime != nullptr && runtime->machine().keys.isDown(key);
    }

    TempDirectory folder;
    std::unique_ptr<MainWindow> window;
};

// Held for a second, a key auto-repeats; the File menu opens with a click, the key is
// released while the menu has the keyboard, another is pressed and released there too,
// and Escape closes the menu. The menu passes the presses it does not use on to the
// window (repeated ones as well, which the toolkit does not always recognise as
// repeats), but not the releases: neither key may stay held.
TEST_F(MainWindowOnXTest, AKeyReleasedWhileAMenuIsOpenCountsAsReleased) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    FakeInput input;
    input.key(keycodeW, true);
    QTest::qWait(1000);
    EXPECT_TRUE(chip8KeyDown(chip8KeyW));

    QMenuBar* bar = window->menuBar();
    const QRect file = bar->actionGeometry(bar->actions().first());
    input.click(bar->mapToGlobal(file.center()));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    QTest::qWait(500); // repeated presses reach the open menu
    input.key(keycodeS, true);
    QTest::qWait(100);
    // Nor does the game see a key pressed while the menu is open.
    EXPECT_FALSE(chip8KeyDown(chip8KeyW));
    EXPECT_FALSE(chip8KeyDown(chip8KeyS));
    input.key(keycodeS, false);
    input.key(keycodeW, false);
    QTest::qWait(200);
    input.key(keycodeEscape, true);
    input.key(keycodeEscape, false);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    QTest::qWait(300);
    EXPECT_FALSE(chip8KeyDown(chip8KeyW));
    EXPECT_FALSE(chip8KeyDown(chip8KeyS));
    EXPECT_FALSE(window->hasEnded()); // that Escape closed the menu only
}

// At x2 and x4 a CHIP-8 window would be 1024 or 2048 pixels wide: it takes the largest
// 2:1 client area that leaves the whole window on the 640 x 480 screen, and the item
// stays checked. x1 (512 x 256) fits as it is.
TEST_F(MainWindowOnXTest, WindowItemsNeverGrowPastTheScreen) {
    const QRect available = window->screen()->availableGeometry();
    ASSERT_EQ(available.size(), QSize(640, 480));
    for (const int id : {command::windowX1 + 1, int{command::windowX4}}) {
        window->handleCommand(id);
        QApplication::processEvents();
        EXPECT_TRUE(window->isMenuItemChecked(id));
        EXPECT_EQ(window->clientSize(), QSize(640, 320));
        EXPECT_TRUE(available.contains(window->frameGeometry())) << id;
    }
    window->handleCommand(command::windowX1);
    EXPECT_EQ(window->clientSize(), QSize(512, 256));
    EXPECT_TRUE(available.contains(window->frameGeometry()));
}

// Full screen at the largest whole multiple: once 512 x 256 on 640 x 480, centred.
TEST_F(MainWindowOnXTest, FullscreenCentresTheWholeMultipleThatFits) {
    window->handleCommand(command::fullscreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->clientSize() == QSize(640, 480); }));
    EXPECT_EQ(window->picture()->geometry(), QRect(64, 112, 512, 256));
    window->handleCommand(command::fullscreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isFullScreen(); }));
    EXPECT_FALSE(window->menuBar()->isHidden());
}
} // namespace

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no X server.
    if (!::testing::GTEST_FLAG(list_tests)) {
        server = std::make_unique<VirtualXServer>();
        if (!server->display().empty()) {
            qputenv("DISPLAY", server->display().c_str());
            qputenv("QT_QPA_PLATFORM", "xcb");
            initStartUp();
            application = std::make_unique<QApplication>(argc, argv);
        }
    }
    const int result = RUN_ALL_TESTS();
    application.reset();
    server.reset();
    return result;
}
