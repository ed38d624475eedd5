#include "tests/gui/shell_fixture.h"

#include "platform/qt/pending_text.h"

#include <QAction>
#include <QEventLoop>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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

// Messages from several threads while the console is opened and closed again and again:
// every line that reaches the window is one whole message with its own newline.
TEST_F(ConsoleWindowTest, LinesStayWholeWhileTheConsoleOpensAndClosesUnderLoad) {
    start();
    std::atomic<bool> writing{true};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([t, &writing] {
            for (int i = 0; writing && i < 20000; ++i) {
                logMessage("Unknown Instruction! [0x%x] writer %d", 0x5121, t);
            }
        });
    }
    const QRegularExpression whole(
        "^(Unknown Instruction! \\[0x5121\\] writer [0-2]|"
        "Quorvix - A \\(S\\)Chip-8 and Chip-16 Emulator by Tavrin\\.|)$");
    for (int opening = 0; opening < 8; ++opening) {
        window->handleCommand(command::showConsole);
        QTest::qWait(5);
        const QStringList lines = consoleText().split('\n');
        for (const QString& line : lines) {
            ASSERT_TRUE(whole.match(line).hasMatch()) << "torn line: " << line.toStdString();
        }
        window->handleCommand(command::showConsole);
    }
    writing = false;
    for (auto& writer : writers) {
        writer.join();
    }
}

// A CHIP-8 program of one unknown instruction and a jump back to it logs without end.
// The window must go on answering commands, and memory must stay flat.
TEST_F(ConsoleWindowTest, WindowAnswersCommandsWhileUnknownInstructionsFloodTheConsole) {
    using Clock = std::chrono::steady_clock;
    start();
    window->handleCommand(command::showConsole);
    load(folder.write("flood.ch8", {0xFF, 0xFF, 0x12, 0x00}));

    std::vector<double> latenciesMs;
    bool frozen = false;
    long residentAfterWarmUp = 0;
    QEventLoop loop;
    std::atomic<bool> probing{true};
    // The filter's check mark changes on the GUI thread; the probe thread watches a count
    // of the changes.
    std::atomic<int> filterToggles{0};
    QObject::connect(window->menuAction(command::flickerFilter), &QAction::toggled, &loop,
                     [&filterToggles] { ++filterToggles; });
    // The probes post from another thread, as a worker does, while the GUI thread runs
    // a real event loop.
    std::thread prober([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        residentAfterWarmUp = residentKiB();
        for (int i = 0; i < 15 && !frozen; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            const int before = filterToggles.load();
            const auto sent = Clock::now();
            postCommand(command::flickerFilter);
            while (filterToggles.load() == before && !frozen) {
                frozen = Clock::now() - sent > std::chrono::seconds(10);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        }
        probing = false;
    });
    // The GUI thread notices the end itself: an event posted from the probe thread would be
    // freed on this thread through synchronisation inside Qt that the thread sanitizer
    // cannot see.
    QTimer finished;
    QObject::connect(&finished, &QTimer::timeout, &loop, [&] {
        if (!probing) {
            loop.quit();
        }
    });
    finished.start(10);
    loop.exec();
    prober.join();
    const long residentAtEnd = residentKiB();

    EXPECT_FALSE(frozen);
    std::sort(latenciesMs.begin(), latenciesMs.end());
    std::printf("menu command latency during the flood: median %.1f ms, max %.1f ms\n"
                "resident memory: %ld KiB after warm-up, %ld KiB at the end\n",
                latenciesMs[latenciesMs.size() / 2], latenciesMs.back(), residentAfterWarmUp,
                residentAtEnd);
    EXPECT_TRUE(consoleText().contains("Unknown Instruction! [0xffff]\n"));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (The sanitizers' allocators hold freed memory back on purpose.)
    EXPECT_LT(residentAtEnd - residentAfterWarmUp, 32 * 1024);
#endif
}
} // namespace
