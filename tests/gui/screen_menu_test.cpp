// The window's additions for everyday use, driven through their command ids on Qt's
// offscreen platform (a 3840 x 2160 screen): shortcuts, full screen, the kept aspect
// ratio, drops taken as copies, and failed starts shown in the window.

#include "tests/gui/shell_fixture.h"

#include "app/gui/picture_frame.h"
#include "platform/qt/picture_widget.h"

#include <QAction>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <sys/stat.h>

namespace {
using ScreenMenuTest = ShellTest;

TEST(PicturePlacementTest, StretchedKeptInShapeOrAtAWholeMultipleAndCentred) {
    const struct {
        QSize area;
        QSize machine;
        PictureFit fit;
        QRect placed;
    } cases[] = {
        {{1000, 300}, {512, 256}, PictureFit::Stretch, {0, 0, 1000, 300}},
        {{1000, 300}, {512, 256}, PictureFit::KeepAspectRatio, {200, 0, 600, 300}},
        {{640, 1000}, {320, 240}, PictureFit::KeepAspectRatio, {0, 260, 640, 480}},
        // 1920 x 1080: CHIP-8 three times (1536 x 768), Chip-16 four times (1280 x 960).
        {{1920, 1080}, {512, 256}, PictureFit::WholeMultiple, {192, 156, 1536, 768}},
        {{1920, 1080}, {320, 240}, PictureFit::WholeMultiple, {320, 60, 1280, 960}},
        {{3840, 2160}, {512, 256}, PictureFit::WholeMultiple, {128, 184, 3584, 1792}},
        {{600, 300}, {512, 256}, PictureFit::WholeMultiple, {44, 22, 512, 256}},
        // Smaller than the machine's own size: all of it, at its shape.
        {{400, 400}, {512, 256}, PictureFit::WholeMultiple, {0, 100, 400, 200}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(placePicture(c.area, c.machine, c.fit), c.placed) << c.area.width();
    }
}

TEST_F(ScreenMenuTest, FileItemsCarryTheirShortcutsWithTheirTextsUnchanged) {
    start();
    const struct {
        int id;
        const char* text;
        const char* keys;
    } items[] = {
        {command::reset, "Reset", "Ctrl+R"},        {command::load, "Load", "Ctrl+O"},
        {command::close, "Close", "Ctrl+W"},        {command::exit, "E&xit", "Ctrl+Q"},
        {command::fullscreen, "Fullscreen", "F11"},
    };
    for (const auto& item : items) {
        const QAction* action = window->menuAction(item.id);
        ASSERT_NE(action, nullptr) << item.text;
        EXPECT_EQ(action->text(), item.text);
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(item.keys))) << item.text;
    }
    // Typed, Ctrl+O opens the Load dialog.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    int dialogs = 0;
    window->setRomChooser([&dialogs](QWidget*) {
        ++dialogs;
        return QString();
    });
    QTest::keyClick(window->picture(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 1);
}

TEST_F(ScreenMenuTest, FullscreenShowsTheLargestWholeMultipleCentredUntilF11) {
    start();
    ASSERT_EQ(window->screen()->geometry(), QRect(0, 0, 3840, 2160));
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_FALSE(window->isMenuItemChecked(command::fullscreen));
    window->handleCommand(command::fullscreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->clientSize() == QSize(3840, 2160); }));
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_TRUE(window->isMenuItemChecked(command::fullscreen));
    EXPECT_TRUE(window->menuBar()->isHidden());
    EXPECT_EQ(window->picture()->geometry(), QRect(128, 184, 3584, 1792)); // 7 x 512 x 256

    // A Chip-16 ROM loaded meanwhile keeps the screen: 9 x 320 x 240.
    load(folder.write("spin.c16", chip16Spin));
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_EQ(window->picture()->geometry(), QRect(480, 0, 2880, 2160));

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->picture(), Qt::Key_F11);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isFullScreen(); }));
    EXPECT_FALSE(window->isMenuItemChecked(command::fullscreen));
    EXPECT_FALSE(window->menuBar()->isHidden());
    // Back to the stretched picture; a Window item gives the exact size again.
    window->handleCommand(command::windowX1 + 1);
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    EXPECT_EQ(window->picture()->geometry(), QRect(0, 0, 640, 480));

    // A Window item ends full screen itself.
    window->handleCommand(command::fullscreen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isFullScreen(); }));
    window->handleCommand(command::windowX1);
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_FALSE(window->isMenuItemChecked(command::fullscreen));
    EXPECT_EQ(window->clientSize(), QSize(320, 240));
}

TEST_F(ScreenMenuTest, KeepAspectRatioCentresThePictureInAHandResizedWindow) {
    start();
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_FALSE(window->isMenuItemChecked(command::keepAspectRatio));
    window->resizeClientArea(1000, 300);
    EXPECT_EQ(window->picture()->geometry(), QRect(0, 0, 1000, 300)); // stretched

    window->handleCommand(command::keepAspectRatio);
    EXPECT_TRUE(window->isMenuItemChecked(command::keepAspectRatio));
    EXPECT_EQ(window->picture()->geometry(), QRect(200, 0, 600, 300));
    window->resizeClientArea(700, 700);
    EXPECT_EQ(window->picture()->geometry(), QRect(0, 175, 700, 350));

    window->handleCommand(command::keepAspectRatio);
    EXPECT_FALSE(window->isMenuItemChecked(command::keepAspectRatio));
    EXPECT_EQ(window->picture()->geometry(), QRect(0, 0, 700, 700));
}

// A file manager that is answered "move" may delete the file it dragged: the window
// only ever copies.
TEST_F(ScreenMenuTest, DropsAreTakenAsCopiesOnly) {
    start();
    const std::string path = folder.write("spin.ch8", chip8Spin);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    // Shift asks for a move where both are offered.
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(QPoint(12, 12), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window.get(), &move);
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(12, 12), both, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(control().romPath(), path);
    EXPECT_TRUE(anythingRuns());

    // A drag that can only move is refused and loads nothing.
    window->handleCommand(command::close);
    const std::string other = folder.write("other.ch8", chip8Spin);
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
    QDropEvent moveOnly(QPointF(12, 12), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &moveOnly);
    EXPECT_FALSE(moveOnly.isAccepted());
    EXPECT_EQ(control().romPath(), path);
    EXPECT_FALSE(anythingRuns());
}

// A ROM that cannot start says why in the window, below the picture, which keeps its
// size; the next start that works takes the line away. The Console window, opened
// later, shows the messages written before.
TEST_F(ScreenMenuTest, AFailedStartIsShownInTheWindowAndInTheConsoleOpenedLater) {
    // As the program sets it.
    consoleKeepsHistory = true;
    struct Forget {
        ~Forget() { consoleKeepsHistory = false; }
    } forgetHistory;
    start();
    load(folder.write("spin.ch8", chip8Spin));
    EXPECT_EQ(window->statusMessage(), "");
    const QString missing = QString::fromStdString((folder.path() / "gone.ch8").string());
    load(missing.toStdString());
    EXPECT_EQ(window->statusMessage(), "Cannot load " + missing + ": there is no such file.");
    EXPECT_EQ(window->clientSize(), QSize(1024, 512));
    EXPECT_FALSE(anythingRuns());

    std::filesystem::create_directory(folder.path() / "games.c16");
    const QString games = QString::fromStdString((folder.path() / "games.c16").string());
    load(games.toStdString());
    EXPECT_EQ(window->statusMessage(), "Cannot load " + games + ": it is a folder.");
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
    const std::string pipe = (folder.path() / "pipe.ch8").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    load(pipe);
    EXPECT_EQ(window->statusMessage(),
              "Cannot load " + QString::fromStdString(pipe) + ": the file cannot be read.");

    window->handleCommand(command::showConsole);
    const QString console = consoleText();
    EXPECT_EQ(console.count("Error: Rom not found!"), 3) << console.toStdString();
    EXPECT_TRUE(console.contains("Loading: gone.ch8\nEmulator Mode: Chip-8\nError: Rom not found!"))
        << console.toStdString();

    load(folder.write("spin.c16", chip16Spin));
    EXPECT_EQ(window->statusMessage(), "");
    EXPECT_EQ(window->clientSize(), QSize(640, 480));
}
} // namespace
