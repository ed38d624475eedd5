// The File menu's save states: slots in the user's data folder with their times and
// shortcuts, files chosen in a dialog, and refusals that leave the machine alone.

#include "tests/gui/shell_fixture.h"

#include "app/save_state.h"
#include "tools/program_builders/chip8_program.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <filesystem>

namespace {
using namespace chip8reg;

class StateMenuTest : public ShellTest {
  protected:
    void SetUp() override {
        // The slots follow XDG_DATA_HOME; the test's own folder keeps them apart.
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder.path().string()));
        ShellTest::SetUp();
    }
    void TearDown() override {
        ShellTest::TearDown();
        qputenv("XDG_DATA_HOME", savedDataHome);
    }

    // Starts a CHIP-8 program that counts in V0 and holds it paused.
    void startCounting(const std::string& name, std::uint8_t step) {
        Chip8Program p;
        const auto loop = p.label();
        p.bind(loop).add(V0, step).jp(loop);
        rom = p.bytes();
        load(folder.write(name, rom));
        ASSERT_NE(machine(), nullptr);
        machine()->pause();
    }
    std::vector<std::uint8_t> stateBytes() {
        return encodeSaveState(RomDigest{}, machine()->takeState());
    }
    QString itemText(int commandId) const { return window->menuAction(commandId)->text(); }

    QByteArray savedDataHome;
    std::vector<std::uint8_t> rom;
};

TEST_F(StateMenuTest, FileMenuHoldsSlotSubmenusAndFileItemsWithShortcuts) {
    start();
    const QMenu* file = window->menuBar()->actions().at(0)->menu();
    QStringList items;
    for (const QAction* item : file->actions()) {
        items << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    EXPECT_EQ(items, QStringList({"Reset", "Load", "Close", "-", "Save State", "Load State",
                                  "Save State As...", "Load State From...", "-", "E&xit"}));
    for (int slot = 1; slot <= 9; ++slot) {
        const QString digit = QString::number(slot);
        EXPECT_EQ(window->menuAction(32880 + slot)->shortcut(),
                  QKeySequence(QStringLiteral("Ctrl+Shift+") + digit));
        EXPECT_EQ(window->menuAction(32890 + slot)->shortcut(),
                  QKeySequence(QStringLiteral("Ctrl+") + digit));
        EXPECT_EQ(itemText(32890 + slot), QStringLiteral("Slot %1 (empty)").arg(slot));
        // Nothing to save or load before a program runs.
        EXPECT_FALSE(window->menuAction(32880 + slot)->isEnabled());
    }
    EXPECT_EQ(window->menuAction(32870)->text(), "Save State As...");
    EXPECT_EQ(window->menuAction(32871)->text(), "Load State From...");
    window->handleCommand(32871);
    EXPECT_EQ(window->statusMessage(), "State not loaded: no program runs");
}

TEST_F(StateMenuTest, SlotsKeepTheStateByRomAndShowWhenItWasSaved) {
    start();
    window->handleCommand(command::showConsole);
    startCounting("count.ch8", 1);
    machine()->stepInstruction();
    const auto saved = stateBytes();
    window->handleCommand(32883); // Save State > Slot 3
    EXPECT_EQ(window->statusMessage(), "State saved: slot 3");
    EXPECT_NE(consoleText().indexOf("State saved: slot 3"), -1);
    const std::filesystem::path slot =
        folder.path() / QCoreApplication::applicationName().toStdString() / "states" /
        (romDigestText(romDigestOf(rom)) + "-slot3.qvstate");
    EXPECT_TRUE(std::filesystem::is_regular_file(slot)) << slot;
    EXPECT_TRUE(itemText(32883).startsWith("Slot 3 (20")) << itemText(32883).toStdString();
    EXPECT_EQ(itemText(32893), itemText(32883)) << "the load item shows the same time";
    EXPECT_EQ(itemText(32884), "Slot 4 (empty)");

    for (int i = 0; i < 5; ++i) {
        machine()->stepInstruction();
    }
    ASSERT_NE(stateBytes(), saved);
    window->handleCommand(32893); // Load State > Slot 3
    EXPECT_EQ(window->statusMessage(), "State loaded: slot 3");
    EXPECT_EQ(stateBytes(), saved);

    const auto before = stateBytes();
    window->handleCommand(32894);
    EXPECT_EQ(window->statusMessage(), "State not loaded: slot 4 is empty");
    EXPECT_EQ(stateBytes(), before);

    // Another ROM has slots of its own: slot 3 is empty for it.
    startCounting("other.ch8", 2);
    Q_EMIT window->menuBar()->actions().at(0)->menu()->aboutToShow();
    EXPECT_EQ(itemText(32883), "Slot 3 (empty)");
}

// A state chosen in the dialog that belongs to another ROM is refused in the status
// line and the console; the machine runs on untouched. Loading that ROM first lets it in.
TEST_F(StateMenuTest, StatesOfAnotherRomAreRefusedUntilThatRomIsLoaded) {
    start();
    window->handleCommand(command::showConsole);
    const std::string path = (folder.path() / "first.qvstate").string();
    window->stateMenus().setFileChooser(
        [&path](QWidget*, bool) { return QString::fromStdString(path); });
    startCounting("first.ch8", 1);
    machine()->stepInstruction();
    const auto saved = stateBytes();
    window->handleCommand(32870); // Save State As...
    EXPECT_EQ(window->statusMessage(), QString::fromStdString("State saved: " + path));

    startCounting("second.ch8", 2);
    const auto before = stateBytes();
    window->handleCommand(32871); // Load State From...
    const QString refusal = window->statusMessage();
    EXPECT_TRUE(refusal.startsWith(
        QString::fromStdString("State not loaded: " + path + " is a state of another ROM (SHA-1 ")))
        << refusal.toStdString();
    EXPECT_TRUE(refusal.endsWith("); load that ROM first"));
    EXPECT_EQ(consoleText().count(refusal), 1);
    EXPECT_EQ(stateBytes(), before);

    startCounting("first.ch8", 1);
    window->handleCommand(32871);
    EXPECT_EQ(window->statusMessage(), QString::fromStdString("State loaded: " + path));
    EXPECT_EQ(stateBytes(), saved);

    // Cancelling the dialog changes nothing.
    window->stateMenus().setFileChooser([](QWidget*, bool) { return QString(); });
    window->handleCommand(32870);
    EXPECT_EQ(window->statusMessage(), QString::fromStdString("State loaded: " + path));
}
} // namespace
