// The Debug menu and the Debugger window, driven through command ids as the menu and
// the shortcuts send them.

#include "tests/gui/shell_fixture.h"

#include "app/gui/debug_menu.h"
#include "app/gui/debugger_window.h"
#include "tools/program_builders/chip8_program.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>

namespace {
using namespace chip8reg;

class DebugMenuTest : public ShellTest {
  protected:
    // Which of Pause/Continue, Step Instruction, Step Frame, Show Debugger are enabled.
    std::string enabled() const {
        std::string marks;
        for (int id = 32850; id <= 32853; ++id) {
            marks += window->menuAction(id)->isEnabled() ? '1' : '0';
        }
        return marks;
    }
    QString pauseText() const { return window->menuAction(32850)->text(); }
    // Until the machine stopped itself and the window has handled what it posted.
    void waitForStop() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return machine()->paused(); }, 5000));
        QApplication::processEvents();
        ASSERT_EQ(pauseText(), "Continue");
    }
    DebuggerWindow* debugger() { return window->debugMenu().debugger(); }
    // The value the register table shows for a register.
    QString shownValue(const QString& name) {
        QTableWidget* table = debugger()->registerTable();
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == name) {
                return table->item(row, 1)->text();
            }
        }
        return {};
    }
    void editRegister(const QString& name, const QString& value) {
        QTableWidget* table = debugger()->registerTable();
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == name) {
                ASSERT_TRUE(table->item(row, 1)->flags() & Qt::ItemIsEditable);
                table->item(row, 1)->setText(value);
                return;
            }
        }
        FAIL() << "no register " << name.toStdString();
    }
    // The disassembly row of an address, as "marker|address|bytes|instruction".
    QString disassemblyRow(std::uint32_t address) {
        QTableWidget* table = debugger()->disassemblyTable();
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 1)->data(Qt::UserRole).toUInt() == address) {
                QStringList cells;
                for (int column = 0; column < 4; ++column) {
                    cells << table->item(row, column)->text();
                }
                return cells.join(QLatin1Char('|'));
            }
        }
        return {};
    }
};

TEST_F(DebugMenuTest, DebugMenuItemsIdsShortcutsAndEnabledStates) {
    start();
    const QMenu* debug = window->menuBar()->actions().at(3)->menu();
    ASSERT_NE(debug, nullptr);
    QStringList items;
    for (const QAction* item : debug->actions()) {
        items << (item->isSeparator()
                      ? QStringLiteral("-")
                      : item->text() + QLatin1Char('=') + QString::number(item->data().toInt()) +
                            QLatin1Char('=') + item->shortcut().toString());
    }
    EXPECT_EQ(items, QStringList({"Pause=32850=F5", "Step Instruction=32851=F10",
                                  "Step Frame=32852=F8", "-", "Show Debugger=32853=Ctrl+D"}));
    EXPECT_EQ(window->menuAction(32850)->shortcuts(),
              QList<QKeySequence>({QKeySequence(Qt::Key_F5), QKeySequence(Qt::Key_Pause)}));
    EXPECT_EQ(enabled(), "0001") << "nothing to pause before a program runs";

    load(folder.write("spin.ch8", Chip8Program().add(V0, 1).jp(0x200).bytes()));
    EXPECT_EQ(enabled(), "1001");
    EXPECT_EQ(pauseText(), "Pause");
    window->handleCommand(32850);
    ASSERT_TRUE(machine()->paused());
    EXPECT_EQ(pauseText(), "Continue");
    EXPECT_EQ(enabled(), "1111");
    const std::uint64_t count = machine()->instructionsExecuted();
    window->handleCommand(32851);
    EXPECT_EQ(machine()->instructionsExecuted(), count + 1);
    window->handleCommand(32852); // the machine's own rules: one batch of 1000
    EXPECT_EQ(machine()->instructionsExecuted(), count + 1001);
    window->handleCommand(32850);
    EXPECT_FALSE(machine()->paused());
    EXPECT_EQ(pauseText(), "Pause");
    EXPECT_EQ(enabled(), "1001");
    window->handleCommand(32851); // no step while it runs
    EXPECT_FALSE(machine()->paused());

    // A pause survives nothing: Reset runs the program again, Close leaves nothing to pause.
    window->handleCommand(32850);
    window->handleCommand(command::reset);
    EXPECT_FALSE(machine()->paused());
    EXPECT_EQ(enabled(), "1001");
    window->handleCommand(command::close);
    EXPECT_EQ(enabled(), "0001");

    window->handleCommand(32853);
    ASSERT_NE(debugger(), nullptr);
    EXPECT_TRUE(debugger()->isVisible());
    EXPECT_TRUE(window->isMenuItemChecked(32853));
    window->handleCommand(32853);
    EXPECT_FALSE(debugger()->isVisible());
    EXPECT_FALSE(window->isMenuItemChecked(32853));
    // Its close box clears the check mark too.
    window->handleCommand(32853);
    EXPECT_TRUE(window->isMenuItemChecked(32853));
    debugger()->close();
    EXPECT_FALSE(window->isMenuItemChecked(32853));
}

// The window shows the stop, marks what changed since the one before, toggles
// breakpoints, and what is typed into a paused machine is what it runs on.
TEST_F(DebugMenuTest, DebuggerShowsTheStopAndEditsTakeEffectOnContinue) {
    start();
    // 200 V0 = 5; 202 V0 += 1; 204 JP 202.
    load(folder.write("count.ch8", Chip8Program().ld(V0, 5).add(V0, 1).jp(0x202).bytes()));
    window->handleCommand(32853);
    debugger()->toggleBreakpoint(0x204);
    EXPECT_EQ(control().breakpoints(), std::set<std::uint32_t>({0x204}));
    EXPECT_EQ(machine()->breakpoints(), std::vector<std::uint32_t>({0x204}));
    // The machine stops itself and posts its stop to the window.
    waitForStop();
    EXPECT_TRUE(machine()->paused());
    EXPECT_EQ(machine()->lastStop(), StopReason::breakpoint);
    EXPECT_TRUE(debugger()->statusLabel()->text().startsWith("Paused at a breakpoint, PC 0204"))
        << debugger()->statusLabel()->text().toStdString();
    EXPECT_EQ(disassemblyRow(0x204), QStringLiteral("\u25CF|\u25B60204|12 02|JP 0x202"));
    EXPECT_EQ(disassemblyRow(0x202), QStringLiteral("| 0202|70 01|ADD V0, 0x01"));

    editRegister("V0", "41");
    EXPECT_EQ(chip8()->V[0], 0x41);
    EXPECT_EQ(shownValue("V0"), "41");
    window->handleCommand(32850); // Continue: JP, ADD, and the breakpoint again
    waitForStop();
    EXPECT_EQ(chip8()->V[0], 0x42);
    EXPECT_TRUE(debugger()->isMarkedChanged("V0"));
    EXPECT_FALSE(debugger()->isMarkedChanged("V1"));
    EXPECT_FALSE(debugger()->isMarkedChanged("PC")) << "the same stop address";

    // A step marks only what the step changed.
    window->handleCommand(32851);
    EXPECT_FALSE(debugger()->isMarkedChanged("V0"));
    EXPECT_TRUE(debugger()->isMarkedChanged("PC"));

    // Memory: follows I by default; a typed address shows memory from there, and a byte
    // typed in is written.
    EXPECT_TRUE(debugger()->followICheck()->isChecked());
    debugger()->showMemoryAt(0x203);
    QTableWidget* memory = debugger()->memoryTable();
    EXPECT_EQ(memory->verticalHeaderItem(0)->text(), "0200");
    EXPECT_EQ(memory->item(0, 3)->text(), "01");
    memory->item(0, 3)->setText("07"); // ADD V0, 7
    EXPECT_EQ(chip8()->memory[0x203], 7);
    window->handleCommand(32851);
    EXPECT_EQ(chip8()->V[0], 0x49);

    // Clicking the marker column of a row toggles its breakpoint.
    debugger()->toggleBreakpoint(0x204);
    EXPECT_TRUE(control().breakpoints().empty());
    EXPECT_EQ(disassemblyRow(0x204).left(1), "|");

    debugger()->unknownOpcodeCheck()->setChecked(true);
    EXPECT_TRUE(control().stopChoices().onUnknownOpcode);
    EXPECT_TRUE(machine()->paused());
    window->handleCommand(32850);
    EXPECT_FALSE(machine()->paused());
}

// The window refreshes from snapshots while a program draws on its workers; the
// program runs on and the window follows it (run under ThreadSanitizer too).
TEST_F(DebugMenuTest, DebuggerRefreshesWhileAProgramDraws) {
    start();
    // Draws a glyph at a moving place forever.
    load(folder.write(
        "draw.ch8", Chip8Program().ldi(0).drw(V0, V1, 5).add(V0, 1).add(V1, 3).jp(0x202).bytes()));
    window->handleCommand(32853);
    const QString first = debugger()->statusLabel()->text();
    const std::uint64_t before = machine()->instructionsExecuted();
    QTest::qWait(600);
    EXPECT_TRUE(debugger()->statusLabel()->text().startsWith("Running, PC 02"));
    EXPECT_NE(debugger()->statusLabel()->text(), first);
    EXPECT_GT(machine()->instructionsExecuted(), before + 1000);
    window->handleCommand(32850);
    EXPECT_TRUE(debugger()->statusLabel()->text().startsWith("Paused, PC 02"));
}
} // namespace
