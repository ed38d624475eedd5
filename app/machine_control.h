#pragma once
// The switchboard that decides which machine runs: the start sequence shared by Load,
// Reset and the command-line start, and Close. GUI thread only.

#include <cstddef>
#include <string>

// Records the clock base and seeds this thread's random generator; first thing at start.
void initStartUp();

// The command line: the first argument, already unquoted by the shell, names the ROM;
// romPath and romFileTitle both become that text. No argument means no ROM.
void takeRomFromCommandLine(int argc, const char* const* argv);

// Chip-16 when romFileTitle, lower-cased, contains ".c16" anywhere; Chip-8 otherwise.
// Logs "Loading: <lower-cased name>\nEmulator Mode: <mode name>".
void detectEmulatorMode();

// Stops both machines, detects the mode, hands the machines the user's choices and
// starts that machine on romPath.
void startCurrentRom();

// The file dialog hands over at most this many characters of path and of file name
// (its buffers of 1024 and 128 characters, each with its terminating zero).
constexpr std::size_t maxChosenPathLength = 1022;
constexpr std::size_t maxChosenNameLength = 126;

// The part of Load after the file dialog: the chosen path and its file name become
// romPath and romFileTitle, then the start sequence; the caller then resizes the
// window. A choice longer than the dialog's buffers counts as a failed dialog: false,
// and nothing changes.
bool startChosenRom(const std::string& path, const std::string& fileName);

// A file dropped on the window: the path and its file name become romPath and
// romFileTitle, then the start sequence. No dialog buffer is involved, so a name of any
// length loads (the name only chooses the machine and goes into the "Loading:" line).
void startDroppedRom(const std::string& path, const std::string& fileName);

// Restarts the current ROM; the window keeps its size.
void resetRom();

// Stops both machines and drops a Reset that the exit instruction posted and that is
// still queued; the ROM names and the mode are kept so that Reset restarts it.
void closeRom();
