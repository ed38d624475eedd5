#include "app/gui/run_main_window.h"

#include "app/console_control.h"
#include "app/gui/main_window.h"
#include "platform/console_log.h"

#include <QEventLoop>

#include <cstdlib>

namespace {
// The window whose machine runs, for stopMachineAtExit.
MainWindow* runningWindow = nullptr;

// The toolkit ends the process with exit() when it loses its display (the X server
// went away, say), from inside the event loop: the machine's workers are stopped before
// the process's static objects (the console they write to among them) go.
void stopMachineAtExit() {
    if (runningWindow != nullptr) {
        runningWindow->control().closeRom();
    }
}
} // namespace

int runMainWindow(const MachineChoices& choices, const std::optional<std::string>& rom,
                  bool sound) {
    static const bool stopsAtExit = std::atexit(stopMachineAtExit) == 0;
    (void)stopsAtExit;
    MainWindow window(choices);
    runningWindow = &window;
    if (sound) {
        window.setSoundOn(true);
    }
    const char* romArguments[] = {"quorvix", rom ? rom->c_str() : nullptr};
    window.control().takeRomFromCommandLine(rom ? 2 : 1, romArguments);
    QEventLoop loop;
    window.setEndedHandler([&loop] { loop.quit(); });
    window.initialise();
    if (!window.hasEnded()) {
        window.show();
        loop.exec();
    }
    runningWindow = nullptr;
    hideConsole();
    return 7;
}
