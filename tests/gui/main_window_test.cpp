#include "tests/gui/shell_fixture.h"

#include "app/chip16_runtime.h"
#include "app/gui/run_main_window.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "platform/qt/picture_widget.h"

#include <QAction>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {
// Both workers of the window's CHIP-8 machine run.
bool chip8Runs(MainWindow& window) {
    auto* runtime = dynamic_cast<Chip8Runtime*>(window.control().machine());
    return runtime != nullptr && runtime->running() && runtime->machine().renderWorker != nullptr;
}

class MainWindowTest : public ShellTest {
  protected:
    bool chip8Runs() { return ::chip8Runs(*window); }
    bool chip16Runs() {
        return dynamic_cast<Chip16Runtime*>(machine()) != nullptr && anythingRuns();
    }
};

TEST_F(MainWindowTest, StartsSizedForChip16AtScaleTwoWithTheFilterOn) {
    start();
    EXPECT_EQ(window->windowTitle(), "Quorvix");
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    EXPECT_EQ(checks(command::windowX1, command::windowX4), "0100");
    EXPECT_TRUE(window->isMenuItemChecked(command::flickerFilter));
    EXPECT_TRUE(control().choices().flickerFilter);
    EXPECT_FALSE(window->isMenuItemChecked(command::showConsole));
    EXPECT_FALSE(isConsoleOpen());
    EXPECT_FALSE(window->picture()->hasPicture());
}

TEST_F(MainWindowTest, WindowItemsSizeForTheModeOfTheCurrentRom) {
    start();
    window->handleCommand(command::windowX1); // no ROM yet: Chip-16 sizes
    EXPECT_EQ(window->clientSize(), QSize(320, 240));
    window->handleCommand(command::windowX1 + 1);

    const QPoint topLeft = window->pos();
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
    EXPECT_TRUE(chip8Runs());
    window->handleCommand(command::windowX1);
    EXPECT_EQ(window->clientSize(), QSize(512, 256));
    EXPECT_EQ(checks(command::windowX1, command::windowX4), "1000");
    window->handleCommand(command::windowX4);
    EXPECT_EQ(window->clientSize(), QSize(2048, 1024));
    EXPECT_EQ(checks(command::windowX1, command::windowX4), "0001");
    EXPECT_EQ(window->pos(), topLeft);

    window->resize(777, 333); // the user's size holds until Load or a Window item
    window->handleCommand(command::reset);
    EXPECT_EQ(window->size(), QSize(777, 333));
    EXPECT_TRUE(chip8Runs());
    window->handleCommand(command::windowX4);
    EXPECT_EQ(window->clientSize(), QSize(2048, 1024));
}

TEST_F(MainWindowTest, LoadingChip16StopsTheChip8MachineAndResizes) {
    start();
    const std::string path = folder.write("spin.ch8", chip8Spin);
    load(path);
    const Machine* running = machine();
    load(""); // cancelled: nothing changes
    EXPECT_EQ(machine(), running);
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(control().romPath(), path);

    load(folder.write("spin.c16", chip16Spin));
    EXPECT_EQ(chip8(), nullptr);
    EXPECT_TRUE(chip16Runs());
    EXPECT_EQ(control().mode(), MachineKind::Chip16);
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    EXPECT_EQ(control().romFileTitle(), "spin.c16");
}

TEST_F(MainWindowTest, CloseStopsAndBlanksAndResetRestartsTheSameRom) {
    start();
    load(folder.write("spin.c16", chip16Spin));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->picture()->hasPicture(); }, 5000));
    window->handleCommand(command::close); // stops and blanks, as the stress test checks
    window->handleCommand(command::reset);
    EXPECT_TRUE(chip16Runs());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->picture()->hasPicture(); }, 5000));
}

// A dropped file loads like Load, but without the Load dialog's buffer that limits the
// file name (whose refusal the machine control's test checks): a dropped file with a
// 200-byte name (65 three-byte characters, "X.CH8") loads.
TEST_F(MainWindowTest, DroppedFileLoadsLikeLoadEvenWithANameTheDialogRefuses) {
    start();
    std::string name;
    for (int i = 0; i < 65; ++i) {
        name += "\xE4\xB8\xAD";
    }
    name += "X.CH8";
    ASSERT_EQ(name.size(), 200u);
    const std::string path = folder.write(name, chip8Spin);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(control().romPath(), path);
    EXPECT_EQ(control().romFileTitle(), name);
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
}

TEST_F(MainWindowTest, FlickerFilterToggleTwiceRestoresFlagAndMark) {
    start();
    window->handleCommand(command::flickerFilter);
    EXPECT_FALSE(control().choices().flickerFilter);
    EXPECT_FALSE(window->isMenuItemChecked(command::flickerFilter));
    window->menuAction(command::flickerFilter)->trigger(); // Qt toggles the mark itself too
    EXPECT_TRUE(control().choices().flickerFilter);
    EXPECT_TRUE(window->isMenuItemChecked(command::flickerFilter));
}

TEST_F(MainWindowTest, ConsoleOpensWithBannerEveryTimeAndFollowsItsCloseBox) {
    start();
    const QString banner = "Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n\n";
    qtConsoleSink().write("while closed\n"); // never shown
    window->handleCommand(command::showConsole);
    EXPECT_EQ(verboseConsole.load(), 1);
    EXPECT_TRUE(window->isMenuItemChecked(command::showConsole));
    EXPECT_EQ(consoleText(), banner);

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

TEST_F(MainWindowTest, CommandsWithoutMenuItemsAreIgnored) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    const Machine* running = machine();
    for (const int id : {32774, 32775, 32780, 32781, 0, 1, 103, 106, 32770, 32784, -1}) {
        window->handleCommand(id);
    }
    EXPECT_FALSE(window->hasEnded());
    EXPECT_EQ(machine(), running);
    EXPECT_TRUE(chip8Runs());
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
    EXPECT_EQ(checks(command::windowX1, command::windowX4), "0100");
    EXPECT_TRUE(control().choices().flickerFilter);
    EXPECT_EQ(verboseConsole.load(), 0);
}

// The About dialog found among the top-level widgets, or null.
QDialog* aboutDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible() && dialog->windowTitle() == "About Quorvix") {
            return dialog;
        }
    }
    return nullptr;
}

TEST_F(MainWindowTest, AboutIsModalClosesOnOkOrEscapeAndTheMachineRunsMeanwhile) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    for (const bool byEscape : {false, true}) {
        bool modal = false;
        bool ranWhileOpen = false;
        QTimer::singleShot(0, [&] {
            QDialog* dialog = aboutDialog();
            if (dialog == nullptr) {
                ADD_FAILURE() << "no About dialog";
                return;
            }
            modal = dialog->isModal() && QApplication::activeModalWidget() == dialog;
            const std::uint64_t before = chip8InstructionsExecuted(*chip8());
            ranWhileOpen = QTest::qWaitFor(
                [&] { return chip8InstructionsExecuted(*chip8()) >= before + 10'000; });
            if (byEscape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->text() == "OK") {
                    QTest::mouseClick(button, Qt::LeftButton);
                }
            }
        });
        window->handleCommand(command::about); // returns once the dialog has closed
        EXPECT_TRUE(modal);
        EXPECT_TRUE(ranWhileOpen);
        EXPECT_EQ(aboutDialog(), nullptr);
    }
    EXPECT_TRUE(chip8Runs());
}

TEST(RunMainWindowTest, EscapeCloseBoxAndExitStopTheMachineAndReturnSeven) {
    TempDirectory folder;
    for (const int way : {0, 1, 2}) {
        const std::string rom = folder.write("spin.ch8", chip8Spin);
        bool ranWhenHidden = false;
        bool ranWhenEnded = true;
        QTimer::singleShot(0, [way, &ranWhenHidden, &ranWhenEnded] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = dynamic_cast<MainWindow*>(widget);
                if (window == nullptr || !window->isVisible()) {
                    continue;
                }
                // A command-line ROM runs at once, in a window sized for its machine.
                EXPECT_TRUE(chip8Runs(*window));
                EXPECT_EQ(window->clientSize(), QSize(1024, 512));
                QObject::connect(window->windowHandle(), &QWindow::visibleChanged, window,
                                 [window, &ranWhenHidden](bool visible) {
                                     ranWhenHidden =
                                         ranWhenHidden || (!visible && chip8Runs(*window));
                                 });
                if (way == 0) {
                    QTest::keyClick(window->picture(), Qt::Key_Escape);
                } else if (way == 1) {
                    window->close();
                } else {
                    window->menuAction(command::exit)->trigger();
                }
                // The window has ended; it lives on until runMainWindow returns.
                ranWhenEnded = chip8Runs(*window);
            }
        });
        EXPECT_EQ(runMainWindow({}, rom), 7);
        // The window goes first; the machine stops behind it.
        EXPECT_TRUE(ranWhenHidden) << way;
        EXPECT_FALSE(ranWhenEnded) << way;
        EXPECT_FALSE(mainWindowExists());
    }
}
} // namespace
