// How long the GUI thread is busy with File → Close, File → Reset and Exit while a
// machine runs: the window does not answer meanwhile. Each command is tried 20 times
// on a running machine; "worst_ms" is the longest try, the time shown the mean.

#include "app/gui/main_window.h"
#include "platform/command_ids.h"
#include "roms/demo_programs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr int tries = 20;
// Long enough for draws to queue behind render steps and for frames to be paced.
constexpr int runMilliseconds = 150;

std::vector<std::uint8_t> repeated(std::vector<std::uint8_t> unit, int times,
                                   std::vector<std::uint8_t> tail) {
    std::vector<std::uint8_t> rom;
    for (int i = 0; i < times; ++i) {
        rom.insert(rom.end(), unit.begin(), unit.end());
    }
    rom.insert(rom.end(), tail.begin(), tail.end());
    return rom;
}

std::string writeRom(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

std::string romFor(int scenario) {
    switch (scenario) {
    case 0: // D015 on every instruction but the jump back
        return writeRom("latency-draw-every.ch8", repeated({0xD0, 0x15}, 200, {0x12, 0x00}));
    case 1: // 00E0 D015 1200
        return writeRom("latency-draw-third.ch8", {0x00, 0xE0, 0xD0, 0x15, 0x12, 0x00});
    case 2: // high resolution, then scroll down, right and left without end
        return writeRom("latency-scroll.ch8",
                        {0x00, 0xFF, 0x00, 0xC1, 0x00, 0xFB, 0x00, 0xFC, 0x12, 0x02});
    default: return writeRom("latency-demo.c16", chip16DemoRom());
    }
}

const char* scenarioName(int scenario) {
    static const char* const names[] = {"draw every instruction", "draw every third",
                                        "scroll storm", "Chip-16 demo"};
    return names[scenario];
}

// The GUI thread goes on handling events meanwhile, as in the program.
void letItRun() {
    QEventLoop loop;
    QTimer::singleShot(runMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(benchmark::State& state, const std::vector<double>& seconds) {
    state.counters["worst_ms"] = *std::max_element(seconds.begin(), seconds.end()) * 1e3;
    state.SetLabel(scenarioName(int(state.range(0))));
}

std::unique_ptr<MainWindow> runningWindow(const std::string& rom) {
    auto window = std::make_unique<MainWindow>();
    const char* const arguments[] = {"quorvix", rom.c_str()};
    window->control().takeRomFromCommandLine(2, arguments);
    window->initialise();
    window->show();
    return window;
}

// Close or Reset, each tried on a machine that has run for a while.
void commandOnRunningMachine(benchmark::State& state, int commandId) {
    const auto window = runningWindow(romFor(int(state.range(0))));
    std::vector<double> seconds;
    for (auto _ : state) {
        window->handleCommand(command::reset);
        letItRun();
        QElapsedTimer timer;
        timer.start();
        window->handleCommand(commandId);
        const double took = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(took);
        seconds.push_back(took);
    }
    window->handleCommand(command::close);
    report(state, seconds);
}

void BM_Close(benchmark::State& state) {
    commandOnRunningMachine(state, command::close);
}
void BM_Reset(benchmark::State& state) {
    commandOnRunningMachine(state, command::reset);
}

// Exit ends the window, so each try has a window of its own.
void BM_Exit(benchmark::State& state) {
    const std::string rom = romFor(int(state.range(0)));
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto window = runningWindow(rom);
        letItRun();
        QElapsedTimer timer;
        timer.start();
        window->handleCommand(command::exit);
        const double took = double(timer.nsecsElapsed()) / 1e9;
        state.SetIterationTime(took);
        seconds.push_back(took);
    }
    report(state, seconds);
}
} // namespace

BENCHMARK(BM_Close)->DenseRange(0, 3)->Iterations(tries)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Reset)->DenseRange(0, 3)->Iterations(tries)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Exit)->DenseRange(0, 3)->Iterations(tries)->UseManualTime()->Unit(
    benchmark::kMillisecond);
