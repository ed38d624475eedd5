#include "tests/gui/shell_fixture.h"

#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace {
// Resident memory of this process in KiB.
long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

constexpr bool sanitized =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

using ConsoleFloodTest = ShellTest;

// A CHIP-8 program of one unknown instruction and a jump back to it logs without end.
// The window must go on answering commands, and memory must stay flat.
TEST_F(ConsoleFloodTest, WindowAnswersCommandsWhileUnknownInstructionsFloodTheConsole) {
    start();
    window->handleCommand(command::showConsole);
    load(writeRom("flood.ch8", {0xFF, 0xFF, 0x12, 0x00}));

    constexpr int probes = 15;
    std::vector<double> latenciesMs;
    std::atomic<bool> unanswered{false};
    long residentAfterWarmUp = 0;
    QEventLoop loop;
    // The probes post from another thread, as a worker does, while the GUI thread runs
    // a real event loop.
    std::thread prober([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        residentAfterWarmUp = residentKiB();
        for (int i = 0; i < probes && !unanswered; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            const std::uint8_t before = flickerFilter.load();
            const auto sent = std::chrono::steady_clock::now();
            postCommand(command::flickerFilter);
            while (flickerFilter.load() == before) {
                if (std::chrono::steady_clock::now() - sent > std::chrono::seconds(10)) {
                    unanswered = true; // the window is frozen
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent)
                    .count());
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    prober.join();
    const long residentAtEnd = residentKiB();

    EXPECT_FALSE(unanswered);
    std::sort(latenciesMs.begin(), latenciesMs.end());
    std::printf("menu command latency during the flood: median %.1f ms, max %.1f ms\n",
                latenciesMs[latenciesMs.size() / 2], latenciesMs.back());
    std::printf("resident memory: %ld KiB after warm-up, %ld KiB at the end\n", residentAfterWarmUp,
                residentAtEnd);

    EXPECT_TRUE(consoleText().contains("Unknown Instruction! [0xffff]\n"));
    EXPECT_LE(qtConsoleSink().window()->document()->blockCount(), QtConsoleSink::keptLines);
    EXPECT_LE(qtConsoleSink().pendingBytes(), 5u * 1024 * 1024);
    if (!sanitized) { // sanitizer allocators hold freed memory back on purpose
        EXPECT_LT(residentAtEnd - residentAfterWarmUp, 32 * 1024);
    }
}
} // namespace
