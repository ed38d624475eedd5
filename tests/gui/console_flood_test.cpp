#include "tests/gui/shell_fixture.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {
// A CHIP-8 program of one unknown instruction and a jump back to it logs without end.
// The window must go on answering commands, and memory must stay flat.
TEST_F(ShellTest, WindowAnswersCommandsWhileUnknownInstructionsFloodTheConsole) {
    using Clock = std::chrono::steady_clock;
    start();
    window->handleCommand(command::showConsole);
    load(folder.write("flood.ch8", {0xFF, 0xFF, 0x12, 0x00}));

    std::vector<double> latenciesMs;
    bool frozen = false;
    long residentAfterWarmUp = 0;
    QEventLoop loop;
    std::atomic<bool> probing{true};
    // The probes post from another thread, as a worker does, while the GUI thread runs
    // a real event loop.
    std::thread prober([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        residentAfterWarmUp = residentKiB();
        for (int i = 0; i < 15 && !frozen; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            const std::uint8_t before = flickerFilter.load();
            const auto sent = Clock::now();
            postCommand(command::flickerFilter);
            while (flickerFilter.load() == before && !frozen) {
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
