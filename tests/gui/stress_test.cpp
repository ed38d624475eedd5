// Hundreds of Load / Reset / Close cycles on the offscreen main window, alternating a
// drawing CHIP-8 ROM and the Chip-16 demo, with the console open and the flicker
// filter toggled every cycle; every fifth CHIP-8 load is a ROM that ends with the exit
// instruction, whose posted Reset restarts it until Close. Nothing may hang (an alarm
// ends the process when a cycle stalls), every cycle must show a picture, and memory must
// come back to the heap.

#include "tests/gui/shell_fixture.h"

#include "app/chip16_runtime.h"
#include "chip8/chip8_machine.h"
#include "platform/qt/host_window.h"
#include "platform/qt/picture_widget.h"
#include "roms/demo_programs.h"
#include "tools/program_builders/chip8_program.h"

#include <cstdio>

#include <unistd.h>

namespace {
constexpr int warmUpCycles = 10;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers slow each cycle tenfold; fewer cycles still cross every path many times.
constexpr int measuredCycles = 100;
#else
constexpr int measuredCycles = 500;
#endif
// A cycle takes well under a second; one still running after this long is a deadlock
// between the GUI thread and a worker, and the alarm ends the process. A slow machine
// only makes the whole run longer, which is not a hang.
constexpr unsigned cycleBoundSeconds = 120;
constexpr int frameTimeoutMs = 20000;

// Stands between the posting workers and the window to count the Resets the exit
// instruction asks for.
class CountingHost final : public HostWindow {
  public:
    explicit CountingHost(MainWindow& window) : window_(window) {}
    QWidget* hostWidget() override { return window_.hostWidget(); }
    void handleCommand(int commandId) override {
        if (commandId == command::reset) {
            ++postedResets;
        }
        window_.handleCommand(commandId);
    }
    void setMenuItemChecked(int commandId, bool checked) override {
        window_.setMenuItemChecked(commandId, checked);
    }
    PictureSurface* pictureSurface() override { return window_.pictureSurface(); }

    int postedResets = 0;

  private:
    MainWindow& window_;
};

// Once per tick of the delay timer, as a game's frame: a sprite erased and drawn one
// column on, so that the flicker filter has frames to drop.
std::vector<std::uint8_t> chip8Drawing() {
    using namespace chip8reg;
    Chip8Program p;
    const auto sprite = p.label();
    const auto loop = p.label();
    p.ld(V0, 10).ld(V1, 8).ld(V3, 1).ldi(sprite).drw(V0, V1, 8);
    p.bind(loop).getDelay(V2).se(V2, 0).jp(loop).setDelay(V3);
    p.drw(V0, V1, 8).add(V0, 1).drw(V0, V1, 8).jp(loop);
    p.bind(sprite).data({0x3C, 0x7E, 0xFF, 0xDB, 0xFF, 0x66, 0x3C, 0x18});
    return p.bytes();
}

// Draws a glyph and then asks to be restarted.
std::vector<std::uint8_t> chip8Exiting() {
    using namespace chip8reg;
    Chip8Program p;
    p.ld(V0, 7).smallGlyph(V0).drw(V0, V0, 5).exit();
    return p.bytes();
}

class StressTest : public ShellTest {
  protected:
    bool waitForPicture() {
        return QTest::qWaitFor([this] { return window->picture()->hasPicture(); }, frameTimeoutMs);
    }
    // No worker runs and the machine has no display.
    bool nothingRuns() {
        if (machine() == nullptr) {
            return true;
        }
        if (machine()->running()) {
            return false;
        }
        if (auto* runtime = dynamic_cast<Chip8Runtime*>(machine())) {
            return runtime->machine().renderWorker == nullptr && runtime->display() == nullptr;
        }
        auto* runtime = dynamic_cast<Chip16Runtime*>(machine());
        return runtime != nullptr && runtime->machine().display == nullptr;
    }
};

TEST_F(StressTest, LoadResetCloseCyclesNeitherHangNorLeak) {
    const std::string chip8Rom = folder.write("drawing.ch8", chip8Drawing());
    const std::string exitRom = folder.write("exiting.ch8", chip8Exiting());
    const std::string chip16Rom = folder.write("demo.c16", chip16DemoRom());

    start();
    CountingHost host(*window);
    registerHostWindow(&host);
    window->handleCommand(command::showConsole);
    ASSERT_TRUE(isConsoleOpen());

    long heapBefore = 0;
    int exitCycles = 0;
    for (int cycle = 0; cycle < warmUpCycles + measuredCycles; ++cycle) {
        if (cycle == warmUpCycles) {
            heapBefore = heapInUseKiB();
        }
        alarm(cycleBoundSeconds);
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const bool chip16Cycle = cycle % 2 == 1;
        const bool exitCycle = cycle % 10 == 4;
        load(chip16Cycle ? chip16Rom : exitCycle ? exitRom : chip8Rom);
        ASSERT_EQ(control().mode(), chip16Cycle ? MachineKind::Chip16 : MachineKind::Chip8);
        ASSERT_TRUE(waitForPicture()) << "no frame after Load";
        window->handleCommand(command::flickerFilter);

        if (exitCycle) {
            // The exit instruction's Reset arrives through the event queue and starts
            // the ROM again, which asks again.
            const int resetsBefore = host.postedResets;
            ASSERT_TRUE(QTest::qWaitFor([&] { return host.postedResets >= resetsBefore + 2; },
                                        frameTimeoutMs))
                << "the exit instruction did not restart the ROM";
            ++exitCycles;
        } else {
            window->handleCommand(command::reset);
            ASSERT_TRUE(waitForPicture()) << "no frame after Reset";
        }

        window->handleCommand(command::close);
        ASSERT_TRUE(nothingRuns());
        ASSERT_FALSE(window->picture()->hasPicture());
    }
    alarm(0);
    // Commands the last exit ROM posted before Close may still wait in the queue.
    QApplication::processEvents();
    window->handleCommand(command::close);
    const long heapAfter = heapInUseKiB();

    EXPECT_EQ(exitCycles, (warmUpCycles + measuredCycles) / 10);
    EXPECT_TRUE(isConsoleOpen());
    EXPECT_TRUE(consoleText().contains("Emulator Mode: Chip-16"));
    std::printf("heap in use: %ld KiB after %d warm-up cycles, %ld KiB after %d more\n", heapBefore,
                warmUpCycles, heapAfter, measuredCycles);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (The sanitizers' allocators hold freed memory back on purpose; LeakSanitizer checks
    // the address-sanitized run instead.)
    EXPECT_LT(heapAfter - heapBefore, 4 * 1024);
#endif
    registerHostWindow(window.get());
}
} // namespace
