#pragma once
// The program's one diagnostic channel: messages reach the console only while it is
// shown.

#include <atomic>
#include <cstdint>

// 1 while the console is shown; every message tests it at the moment it is made.
extern std::atomic<std::int32_t> verboseConsole;

// Set by a program whose console may be opened later: messages are then written while
// it is closed too, and the console shows the newest of them when it opens.
extern std::atomic<bool> consoleKeepsHistory;

// printf-style message followed by "\n"; nothing while verboseConsole is 0 (unless the
// console keeps its history). The text
// and its newline reach the console sink in one write, so messages from different
// threads never interleave inside a line. Safe on any thread; takes no lock that a
// worker could be kept waiting on.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
