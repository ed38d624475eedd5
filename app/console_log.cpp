#include "app/console_log.h"

#include "platform/host.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

std::atomic<std::int32_t> verboseConsole{0};

namespace {
// Marks an open console; only the GUI thread touches it.
bool consoleOutput = false;

void printFormatted(const char* format, va_list arguments) {
    std::array<char, 512> buffer;
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (length < 0) {
        return;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
        consoleSink().write(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
        return;
    }
    std::string large(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, arguments);
    large.pop_back();
    consoleSink().write(large);
}
} // namespace

void logMessage(const char* format, ...) {
    if (verboseConsole.load(std::memory_order_relaxed) == 0) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    printFormatted(format, arguments);
    va_end(arguments);
    consoleSink().write("\n");
}

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
        checkMenuItem(commandShowConsole, true);
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
    checkMenuItem(commandShowConsole, false);
}
