#include "tests/gui/shell_fixture.h"

#include "platform/qt/pending_text.h"

#include <QScrollBar>

#include <string>
#include <thread>

namespace {
std::string numberedLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(PendingTextTest, KeepsTheNewestWholeLinesWithinItsBounds) {
    PendingText pending(100, 1 << 20);
    for (int i = 0; i < 1000; ++i) {
        pending.append("line " + std::to_string(i) + "\n");
        EXPECT_LE(pending.size(), 125 * std::string("line 999\n").size());
    }
    pending.append("partial");
    const std::string kept = pending.take();
    // Whatever was dropped, what is left is the exact tail of what was written.
    const std::string all = numberedLines(0, 1000) + "partial";
    ASSERT_GE(kept.size(), numberedLines(900, 1000).size());
    EXPECT_EQ(all.substr(all.size() - kept.size()), kept);
    EXPECT_TRUE(kept.starts_with("line "));
    EXPECT_EQ(pending.take(), "");
}

TEST(PendingTextTest, CutsAnEndlessLineToTheByteBound) {
    PendingText pending(100, 1000);
    for (int i = 0; i < 100; ++i) {
        pending.append(std::string(99, static_cast<char>('a' + i % 26)));
        EXPECT_LE(pending.size(), 1250u);
    }
    pending.append("\nend\n");
    const std::string kept = pending.take();
    EXPECT_LE(kept.size(), 1250u);
    EXPECT_TRUE(kept.ends_with("\nend\n"));
    // A line start inside the kept part is preferred over a cut within a line.
    pending.append(std::string(2000, 'x') + "\nshort\n");
    EXPECT_EQ(pending.take(), "short\n");
}

using ConsoleWindowTest = ShellTest;

TEST_F(ConsoleWindowTest, FloodFromAnotherThreadKeepsTheNewest20000Lines) {
    start();
    window->handleCommand(command::showConsole);
    std::thread writer([] {
        for (int i = 0; i < 60000; ++i) {
            logMessage("Unknown Instruction! [0x%x] %d", 0xFFFF, i);
        }
    });
    writer.join();
    EXPECT_LE(qtConsoleSink().pendingBytes(), 5u * 1024 * 1024);
    const QString text = consoleText();
    ConsoleWindow* console = qtConsoleSink().window();
    EXPECT_LE(console->document()->blockCount(), QtConsoleSink::keptLines);
    EXPECT_TRUE(text.endsWith("Unknown Instruction! [0xffff] 59999\n"));
    EXPECT_TRUE(text.contains("Unknown Instruction! [0xffff] 45000\n"));
    EXPECT_FALSE(text.contains("Quorvix - A")); // the banner scrolled away
    EXPECT_TRUE(console->isReadOnly());
    EXPECT_EQ(console->verticalScrollBar()->value(), console->verticalScrollBar()->maximum());
}

TEST_F(ConsoleWindowTest, TextWrittenWhileClosedNeverShows) {
    start();
    qtConsoleSink().write("while closed\n");
    window->handleCommand(command::showConsole);
    EXPECT_FALSE(consoleText().contains("while closed"));
    EXPECT_EQ(qtConsoleSink().window()->windowTitle(), "Quorvix Console");
    EXPECT_TRUE(qtConsoleSink().window()->isWindow());
}
} // namespace
