#pragma once
// The program's one diagnostic channel: messages reach the console only while it is
// shown.

#include <atomic>
#include <cstdint>

// 1 while the console is shown; every message tests it at the moment it is made.
extern std::atomic<std::int32_t> verboseConsole;

// printf-style message, then a separate "\n"; nothing while verboseConsole is 0.
// Safe on any thread; takes no lock that a worker could be kept waiting on.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// GUI thread. showConsole opens the console when none is open, sets the
// "Show Console" check mark, raises the main window and prints the banner.
void showConsole();
// GUI thread. Closes an open console and clears the check mark.
void hideConsole();
void openConsole();
bool isConsoleOpen();

constexpr int commandShowConsole = 32783;
