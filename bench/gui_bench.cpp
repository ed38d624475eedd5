// The desktop window's speed: painting a frame at scale 4 on the GUI thread, and the
// time from process start to the first frame of a ROM named on the command line.
// Run it under the display that matters (e.g. DISPLAY of an X server); without one it
// uses Qt's offscreen platform.

#include "app/gui/main_window.h"
#include "app/gui/run_main_window.h"
#include "app/machine_control.h"
#include "platform/qt/frame_spans.h"
#include "platform/qt/picture_widget.h"
#include "platform/qt/window_presenter.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
std::uint64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1'000'000'000u + std::uint64_t(now.tv_nsec);
}

// Frames that change every pixel: two patterns in turn.
std::vector<std::uint32_t> checkerFrame(std::size_t width, std::size_t height, std::size_t turn) {
    std::vector<std::uint32_t> frame(width * height);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = (i / 4 + i / (4 * width) + turn) % 2 != 0 ? 0xFFEAD979 : 0xFF252E38;
    }
    return frame;
}

// Paints one presented frame of the given size into a picture widget of the client
// size of scale 4, synchronously, as the GUI thread does for each frame where the
// window takes Qt's painting (Wayland, offscreen, a remote X server).
void paintAtScale4(benchmark::State& state, int frameWidth, int frameHeight, QSize client) {
    qputenv("QUORVIX_QT_PAINTING", "1");
    PictureWidget picture;
    qunsetenv("QUORVIX_QT_PAINTING");
    picture.resize(client);
    picture.show();
    QApplication::processEvents();
    const std::vector<std::uint32_t> frames[2] = {
        checkerFrame(std::size_t(frameWidth), std::size_t(frameHeight), 0),
        checkerFrame(std::size_t(frameWidth), std::size_t(frameHeight), 1)};
    std::size_t turn = 0;
    for (auto _ : state) {
        picture.showFrame({frames[turn].data(), std::uint32_t(frameWidth),
                           std::uint32_t(frameHeight), std::size_t(frameWidth), 1});
        turn = 1 - turn;
        picture.repaint();
    }
    state.SetLabel(QApplication::platformName().toStdString());
}

void BM_PaintChip8FrameAtScale4(benchmark::State& state) {
    paintAtScale4(state, 512, 256, QSize(2048, 1024));
}
BENCHMARK(BM_PaintChip8FrameAtScale4)->Unit(benchmark::kMillisecond);

void BM_PaintChip16FrameAtScale4(benchmark::State& state) {
    paintAtScale4(state, 960, 720, QSize(1280, 960));
}
BENCHMARK(BM_PaintChip16FrameAtScale4)->Unit(benchmark::kMillisecond);

// A frame of the client size of scale 4 put into the window through shared memory, as
// the presenting worker does on an X server: waiting for an image the server has
// finished with, writing every pixel of it and sending it.
void putAtScale4(benchmark::State& state, QSize client) {
    PictureWidget picture;
    picture.resize(client);
    picture.show();
    QApplication::processEvents();
    std::unique_ptr<WindowPresenter> presenter;
    if (windowPresenterPossible()) {
        presenter = connectWindowPresenter(picture.winId());
    }
    const auto width = std::uint32_t(client.width());
    const auto height = std::uint32_t(client.height());
    if (!presenter || !presenter->setSize(width, height)) {
        state.SkipWithError("needs an X server with shared memory");
        return;
    }
    const std::vector<std::uint32_t> frames[2] = {checkerFrame(width, height, 0),
                                                  checkerFrame(width, height, 1)};
    const std::vector<FrameSpan> whole = wholeRows(width, height);
    std::size_t turn = 0;
    for (auto _ : state) {
        SharedImage* image = nullptr;
        while ((image = presenter->writableImage()) == nullptr) {
            std::this_thread::yield();
        }
        std::copy(frames[turn].begin(), frames[turn].end(), image->pixels);
        presenter->put(*image, whole);
        turn = 1 - turn;
    }
}

void BM_PutChip8FrameAtScale4(benchmark::State& state) {
    putAtScale4(state, QSize(2048, 1024));
}
BENCHMARK(BM_PutChip8FrameAtScale4)->Unit(benchmark::kMillisecond);

void BM_PutChip16FrameAtScale4(benchmark::State& state) {
    putAtScale4(state, QSize(1280, 960));
}
BENCHMARK(BM_PutChip16FrameAtScale4)->Unit(benchmark::kMillisecond);

// The worker's side of a frame: copying a display's picture into the widget.
void BM_ShowChip16Frame(benchmark::State& state) {
    PictureWidget picture;
    // Two frames in turn, so that each one differs from the one before everywhere.
    const std::vector<std::uint32_t> frames[2] = {checkerFrame(960, 720, 0),
                                                  checkerFrame(960, 720, 1)};
    std::size_t turn = 0;
    for (auto _ : state) {
        picture.showFrame({frames[turn].data(), 960, 720, 960, 1});
        turn = 1 - turn;
    }
}
BENCHMARK(BM_ShowChip16Frame)->Unit(benchmark::kMillisecond);

// The same for a game's frame whose display says what changed: a third of the pixel rows
// (every third group of three texel rows) changed in 60 texel columns, about what a
// frame of Starfield changes.
void BM_ShowChip16FrameWithFewChanges(benchmark::State& state) {
    PictureWidget picture;
    std::vector<std::uint32_t> frame(960 * 720, 0xFF00467F);
    std::vector<FrameSpan> changes(240);
    for (std::size_t group = 0; group < changes.size(); group += 3) {
        changes[group] = {300, 360};
    }
    std::uint64_t sequence = 0;
    for (auto _ : state) {
        picture.showFrame({frame.data(), 960, 720, 960, 3, 1, ++sequence, changes.data()});
    }
}
BENCHMARK(BM_ShowChip16FrameWithFewChanges)->Unit(benchmark::kMicrosecond);

std::string programPath;

// Starts this program as the emulator on the demo ROM and waits for the time it
// reports for its first frame, counted from just before the process was started.
void BM_StartToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string child = "--first-frame-child";
        std::string rom = QUORVIX_DEMO_ROM;
        char* argv[] = {programPath.data(), child.data(), rom.data(), nullptr};
        pid_t pid = 0;
        const std::uint64_t started = monotonicNanoseconds();
        const int spawned =
            posix_spawn(&pid, programPath.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string report;
        char buffer[256];
        ssize_t got = 0;
        while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
            report.append(buffer, std::size_t(got));
        }
        close(fds[0]);
        if (spawned != 0 || waitpid(pid, nullptr, 0) != pid || report.empty()) {
            state.SkipWithError("the emulator did not report a frame");
            return;
        }
        const std::uint64_t firstFrame = std::stoull(report);
        state.SetIterationTime(double(firstFrame - started) / 1e9);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The emulator as the quorvix program runs it, which reports when its window first
// has a presented frame and then ends itself like the close box.
int runFirstFrameChild(int argc, char* argv[]) {
    initStartUp();
    QApplication application(argc, argv);
    // The ROM follows the "--first-frame-child" argument.
    const std::optional<std::string> rom =
        argc > 2 ? std::optional<std::string>(argv[2]) : std::nullopt;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = dynamic_cast<MainWindow*>(widget);
            if (window != nullptr && window->picture()->hasPicture()) {
                std::printf("%llu\n", static_cast<unsigned long long>(monotonicNanoseconds()));
                std::fflush(stdout);
                poll.stop();
                window->handleCommand(2);
            }
        }
    });
    poll.start(1);
    return runMainWindow(MachineChoices{}, rom) == 7 ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && std::string(argv[1]) == "--first-frame-child") {
        return runFirstFrameChild(argc, argv);
    }
    programPath = argv[0];
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
