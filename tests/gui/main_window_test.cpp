#include "tests/gui/shell_fixture.h"

#include "app/gui/run_main_window.h"
#include "chip16/chip16_machine.h"
#include "chip8/chip8_machine.h"
#include "platform/qt/picture_widget.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <thread>

namespace {
constexpr int windowItems[] = {command::windowX1, command::windowX1 + 1, command::windowX1 + 2,
                               command::windowX4};

// Which "Window xN" items carry a check mark, as a string like "0100".
std::string windowChecks(const MainWindow& window) {
    std::string marks;
    for (const int id : windowItems) {
        marks += window.isMenuItemChecked(id) ? '1' : '0';
    }
    return marks;
}

bool chip8Runs() {
    return chip8.executeWorker != nullptr && chip8.renderWorker != nullptr;
}

using MainWindowTest = ShellTest;

TEST_F(MainWindowTest, StartsSizedForChip16AtScaleTwoWithTheFilterOn) {
    start();
    EXPECT_EQ(window->windowTitle(), "Quorvix");
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    EXPECT_EQ(windowChecks(*window), "0100");
    EXPECT_TRUE(window->isMenuItemChecked(command::flickerFilter));
    EXPECT_EQ(flickerFilter.load(), 1);
    EXPECT_FALSE(window->isMenuItemChecked(command::showConsole));
    EXPECT_FALSE(isConsoleOpen());
    EXPECT_TRUE(mainWindowExists());
    EXPECT_FALSE(window->picture()->hasPicture());
}

TEST_F(MainWindowTest, MenusCarryTheirTextsAndIds) {
    const std::pair<int, const char*> items[] = {
        {command::reset, "Reset"},
        {command::load, "Load"},
        {command::close, "Close"},
        {command::exit, "E&xit"},
        {command::windowX1, "Window x1"},
        {command::windowX4, "Window x4"},
        {command::flickerFilter, "Chip-8 Flicker Filter"},
        {command::showConsole, "Show Console"},
        {command::about, "&About ..."},
    };
    for (const auto& [id, text] : items) {
        const QAction* action = window->menuAction(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->text(), text);
        EXPECT_EQ(action->data().toInt(), id);
    }
}

TEST_F(MainWindowTest, WindowItemsSizeForTheModeOfTheCurrentRom) {
    start();
    // No ROM yet: the sizes are Chip-16's.
    window->handleCommand(command::windowX1);
    EXPECT_EQ(window->clientSize(), QSize(320, 240));
    window->handleCommand(command::windowX1 + 2);
    EXPECT_EQ(window->clientSize(), QSize(960, 720));
    window->handleCommand(command::windowX1 + 1);

    const QPoint topLeft = window->pos();
    load(writeRom("spin.ch8", chip8Spin));
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
    EXPECT_TRUE(chip8Runs());
    window->handleCommand(command::windowX1);
    EXPECT_EQ(window->clientSize(), QSize(512, 256));
    EXPECT_EQ(windowChecks(*window), "1000");
    window->handleCommand(command::windowX4);
    EXPECT_EQ(window->clientSize(), QSize(2048, 1024));
    EXPECT_EQ(windowChecks(*window), "0001");
    EXPECT_EQ(windowScale.load(), 4);
    EXPECT_EQ(window->pos(), topLeft);

    window->handleCommand(command::reset);
    EXPECT_EQ(window->clientSize(), QSize(2048, 1024));
    EXPECT_TRUE(chip8Runs());
}

TEST_F(MainWindowTest, UserSizeHoldsUntilTheNextWindowCommand) {
    start();
    window->resize(777, 333);
    QApplication::processEvents();
    EXPECT_NE(window->clientSize(), QSize(640, 480));
    window->handleCommand(command::windowX1 + 1);
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
}

TEST_F(MainWindowTest, LoadingChip16StopsTheChip8MachineAndResizes) {
    start();
    load(writeRom("spin.ch8", chip8Spin));
    ASSERT_TRUE(chip8Runs());
    load(writeRom("spin.c16", chip16Spin));
    EXPECT_EQ(chip8.executeWorker, nullptr);
    EXPECT_EQ(chip8.renderWorker, nullptr);
    EXPECT_NE(chip16.executeWorker, nullptr);
    EXPECT_EQ(EmulatorMode.load(), MachineKind::Chip16);
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    EXPECT_EQ(romFileTitle, "spin.c16");
}

TEST_F(MainWindowTest, CancelledLoadChangesNothing) {
    start();
    const std::string path = writeRom("spin.ch8", chip8Spin);
    load(path);
    WorkerThread* running = chip8.executeWorker.get();
    load("");
    EXPECT_EQ(chip8.executeWorker.get(), running);
    EXPECT_EQ(romPath, path);
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
}

TEST_F(MainWindowTest, CloseStopsAndBlanksAndResetRestartsTheSameRom) {
    start();
    load(writeRom("spin.c16", chip16Spin));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->picture()->hasPicture(); }, 5000));
    window->handleCommand(command::close);
    EXPECT_EQ(chip16.executeWorker, nullptr);
    EXPECT_FALSE(window->picture()->hasPicture());
    window->handleCommand(command::reset);
    EXPECT_NE(chip16.executeWorker, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->picture()->hasPicture(); }, 5000));
}

TEST_F(MainWindowTest, DroppedFileLoadsLikeLoad) {
    start();
    const std::string path = writeRom("dropped.ch8", chip8Spin);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(romPath, path);
    EXPECT_EQ(romFileTitle, "dropped.ch8");
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
}

TEST_F(MainWindowTest, FlickerFilterToggleTwiceRestoresFlagAndMark) {
    start();
    window->handleCommand(command::flickerFilter);
    EXPECT_EQ(flickerFilter.load(), 0);
    EXPECT_FALSE(window->isMenuItemChecked(command::flickerFilter));
    // Through the menu item itself, which Qt also checks and unchecks.
    window->menuAction(command::flickerFilter)->trigger();
    EXPECT_EQ(flickerFilter.load(), 1);
    EXPECT_TRUE(window->isMenuItemChecked(command::flickerFilter));
}

TEST_F(MainWindowTest, ConsoleOpensWithBannerEveryTimeAndFollowsItsCloseBox) {
    start();
    const QString banner = "Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n\n";
    window->handleCommand(command::showConsole);
    EXPECT_EQ(verboseConsole.load(), 1);
    EXPECT_TRUE(window->isMenuItemChecked(command::showConsole));
    EXPECT_EQ(consoleText(), banner);
    logMessage("between");
    EXPECT_EQ(consoleText(), banner + "between\n");

    window->handleCommand(command::showConsole);
    EXPECT_EQ(verboseConsole.load(), 0);
    EXPECT_FALSE(window->isMenuItemChecked(command::showConsole));
    EXPECT_EQ(qtConsoleSink().window(), nullptr);

    window->handleCommand(command::showConsole);
    EXPECT_EQ(consoleText(), banner); // a fresh console

    qtConsoleSink().window()->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return qtConsoleSink().window() == nullptr; }, 5000));
    EXPECT_EQ(verboseConsole.load(), 0);
    EXPECT_FALSE(window->isMenuItemChecked(command::showConsole));
}

TEST_F(MainWindowTest, LoadingMessageReachesTheConsole) {
    start();
    window->handleCommand(command::showConsole);
    load(writeRom("Spin.CH8", chip8Spin));
    EXPECT_TRUE(consoleText().endsWith("Loading: spin.ch8\nEmulator Mode: Chip-8\n"));
}

TEST_F(MainWindowTest, CommandsWithoutMenuItemsAreIgnored) {
    start();
    load(writeRom("spin.ch8", chip8Spin));
    WorkerThread* running = chip8.executeWorker.get();
    for (const int id : {32774, 32775, 32780, 32781, 0, 1, 103, 106, 32770, 32784, -1, 65535}) {
        window->handleCommand(id);
    }
    EXPECT_FALSE(window->hasEnded());
    EXPECT_EQ(chip8.executeWorker.get(), running);
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
    EXPECT_EQ(windowChecks(*window), "0100");
    EXPECT_EQ(flickerFilter.load(), 1);
    EXPECT_EQ(verboseConsole.load(), 0);
}

TEST_F(MainWindowTest, CommandPostedByAnotherThreadIsHandledOnTheGuiThread) {
    start();
    load(writeRom("spin.ch8", chip8Spin));
    window->handleCommand(command::close);
    std::thread([] { postCommand(command::reset); }).join();
    EXPECT_FALSE(chip8Runs()); // queued, not run on the posting thread
    ASSERT_TRUE(QTest::qWaitFor(chip8Runs, 5000));
}

// Stands between the platform and the main window and counts the commands that
// reach the window.
class CommandSpy final : public HostWindow {
  public:
    explicit CommandSpy(MainWindow& window) : window_(window) {}
    QWidget* hostWidget() override { return &window_; }
    void handleCommand(int commandId) override {
        ++handled[commandId];
        window_.handleCommand(commandId);
    }
    void setMenuItemChecked(int id, bool checked) override {
        window_.setMenuItemChecked(id, checked);
    }
    PictureSurface* pictureSurface() override { return window_.pictureSurface(); }

    std::map<int, int> handled;

  private:
    MainWindow& window_;
};

TEST_F(MainWindowTest, SchipExitRestartsTheRomThroughReset) {
    start();
    CommandSpy spy(*window);
    registerHostWindow(&spy);
    load(writeRom("quit.sc8", {0x00, 0xFD}));
    // Each machine posts Reset once; so three Resets took three machines.
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.handled[command::reset] >= 3; }, 10000));
    EXPECT_TRUE(chip8Runs());
    registerHostWindow(window.get());
}

TEST_F(MainWindowTest, ExitStopsBothMachinesAndIgnoresLaterCommands) {
    start();
    load(writeRom("spin.ch8", chip8Spin));
    window->menuAction(command::exit)->trigger();
    EXPECT_TRUE(window->hasEnded());
    EXPECT_EQ(window->result(), command::exit);
    EXPECT_FALSE(chip8Runs());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(mainWindowExists());
    window->handleCommand(command::reset);
    EXPECT_FALSE(chip8Runs());
}

TEST_F(MainWindowTest, CommandLineRomStartsAndSizesTheWindowForItsMachine) {
    romPath = romFileTitle = writeRom("spin.ch8", chip8Spin);
    start();
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
}

TEST(RunMainWindowTest, EscapeAndTheCloseBoxEndTheProgramWithSeven) {
    for (const bool closeBox : {false, true}) {
        QTimer::singleShot(0, [closeBox] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = dynamic_cast<MainWindow*>(widget);
                if (window == nullptr || !window->isVisible()) {
                    continue;
                }
                if (closeBox) {
                    window->close();
                } else {
                    QTest::keyClick(window->picture(), Qt::Key_Escape);
                }
            }
        });
        EXPECT_EQ(runMainWindow(), 7);
        EXPECT_FALSE(mainWindowExists());
    }
}
} // namespace
