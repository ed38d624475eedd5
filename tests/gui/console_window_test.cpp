#include "tests/gui/shell_fixture.h"

#include "platform/qt/pending_text.h"

#include <QScrollBar>

#include <string>
#include <thread>

namespace {
TEST(PendingTextTest, KeepsTheNewestTextWithinItsBounds) {
    PendingText pending(100, 1000);
    std::string all;
    for (int i = 0; i < 1000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        pending.append(line);
        all += line;
        EXPECT_LE(pending.size(), 125 * std::string("line 999\n").size());
    }
    // Whole lines were dropped from the front; what is left is the exact tail.
    const std::string kept = pending.take();
    ASSERT_GE(kept.size(), 100 * std::string("line 999\n").size());
    EXPECT_EQ(all.substr(all.size() - kept.size()), kept);
    EXPECT_EQ(pending.take(), "");

    // An endless line is cut to the byte bound; a later line start is preferred.
    pending.append(std::string(5000, 'x'));
    EXPECT_LE(pending.size(), 1250u);
    pending.append(std::string(2000, 'x') + "\nshort\n");
    EXPECT_EQ(pending.take(), "short\n");
}

using ConsoleWindowTest = ShellTest;

TEST_F(ConsoleWindowTest, FloodFromAnotherThreadKeepsTheNewest20000Lines) {
    start();
    window->handleCommand(command::showConsole);
    std::thread([] {
        for (int i = 0; i < 60000; ++i) {
            logMessage("Unknown Instruction! [0x%x] %d", 0xFFFF, i);
        }
    }).join();
    EXPECT_LE(qtConsoleSink().pendingBytes(), 5u * 1024 * 1024);
    const QString text = consoleText();
    ConsoleWindow* console = qtConsoleSink().window();
    EXPECT_LE(console->document()->blockCount(), QtConsoleSink::keptLines);
    EXPECT_TRUE(text.endsWith("Unknown Instruction! [0xffff] 59999\n"));
    EXPECT_TRUE(text.contains("Unknown Instruction! [0xffff] 45000\n"));
    EXPECT_FALSE(text.contains("Quorvix - A")); // the banner scrolled away
    EXPECT_EQ(console->verticalScrollBar()->value(), console->verticalScrollBar()->maximum());
    EXPECT_TRUE(console->isReadOnly() && console->isWindow());
}
} // namespace
