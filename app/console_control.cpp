#include "app/console_control.h"

#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/host.h"

namespace {
// Marks an open console; only the GUI thread touches it.
bool consoleOutput = false;
} // namespace

void openConsole() {
    consoleSink().open();
}

bool isConsoleOpen() {
    return consoleOutput;
}

void showConsole() {
    if (consoleOutput) {
        return;
    }
    openConsole();
    consoleOutput = true;
    if (mainWindowExists()) {
        checkMenuItem(command::showConsole, true);
        bringMainWindowToFront();
    }
    if (verboseConsole.load() != 0) {
        logMessage("Quorvix - A (S)Chip-8 and Chip-16 Emulator by Tavrin.\n");
    }
}

void hideConsole() {
    if (!consoleOutput) {
        return;
    }
    consoleSink().close();
    consoleOutput = false;
    checkMenuItem(command::showConsole, false);
}
