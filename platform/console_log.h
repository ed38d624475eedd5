#pragma once
// The program's one diagnostic channel: messages reach the console only while it is
// shown.

#include <atomic>
#include <cstdint>

// 1 while the console is shown; every message tests it at the moment it is made.
extern std::atomic<std::int32_t> verboseConsole;

// printf-style message followed by "\n"; nothing while verboseConsole is 0. The text
// and its newline reach the console sink in one write, so messages from different
// threads never interleave inside a line. Safe on any thread; takes no lock that a
// worker could be kept waiting on.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
