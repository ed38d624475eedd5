#pragma once
// A main window on a fresh shell state, with a Load dialog that answers from the test.

#include "app/chip8_runtime.h"
#include "app/console_control.h"
#include "app/gui/main_window.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/qt/console_sink_qt.h"
#include "platform/qt/console_window.h"
#include "tests/support/temp_file.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <malloc.h>
#include <unistd.h>

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        verboseConsole = 0;
        window = std::make_unique<MainWindow>();
        window->setRomChooser([this](QWidget*) { return nextChoice; });
    }
    void TearDown() override {
        window.reset();
        hideConsole();
        verboseConsole = 0;
    }
    // The window's machine control, its running machine and the CHIP-8 one (null when
    // another or none runs).
    MachineControl& control() { return window->control(); }
    Machine* machine() { return control().machine(); }
    Chip8Machine* chip8() {
        auto* runtime = dynamic_cast<Chip8Runtime*>(machine());
        return runtime != nullptr ? &runtime->machine() : nullptr;
    }
    bool anythingRuns() { return machine() != nullptr && machine()->running(); }

    // The window's initialisation, then shown as the program shows it.
    void start() {
        window->initialise();
        window->show();
        QApplication::processEvents();
    }
    // File → Load, with `path` chosen in the dialog (empty: cancelled).
    void load(const std::string& path) {
        nextChoice = QString::fromStdString(path);
        window->handleCommand(command::load);
    }
    // What the Console window shows once the waiting text has been appended.
    static QString consoleText() {
        qtConsoleSink().flush();
        ConsoleWindow* console = qtConsoleSink().window();
        return console != nullptr ? console->toPlainText() : QString();
    }
    // Which of the items from `first` to `last` carry a check mark, as a string like
    // "10000".
    std::string checks(int first, int last) const {
        std::string marks;
        for (int id = first; id <= last; ++id) {
            marks += window->isMenuItemChecked(id) ? '1' : '0';
        }
        return marks;
    }

    std::unique_ptr<MainWindow> window;
    QString nextChoice;
    TempDirectory folder;
};

// The process's resident memory; freed heap memory the allocator still holds is not
// counted, as it is no leak.
inline long residentKiB() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The heap the allocator has handed out and not had back, over all its arenas: unlike
// the resident size, not moved by which arenas threads happened to use nor by the pages
// they keep.
inline long heapInUseKiB() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

// A CHIP-8 program that spins on one jump, and the same for Chip-16.
inline const std::vector<std::uint8_t> chip8Spin = {0x12, 0x00};
inline const std::vector<std::uint8_t> chip16Spin = {0x10, 0x00, 0x00, 0x00};
