#pragma once
// Saving a machine's state to a file and loading it back, as both the window and
// quorvix-run do it, with the one-line message either shows.

#include "app/save_state.h"
#include "app/state_file.h"
#include "machine/machine.h"

#include <string>

// The most a state file may hold; larger files are not read.
constexpr std::size_t stateFileReadLimit = 4 * 1024 * 1024;

struct StateOutcome {
    bool done = false;
    // "State saved: slot 1", "State not loaded: x.qvstate is truncated", ...
    std::string message;
};

// Writes the machine's state, taken between two instructions, to `path`, replacing the
// file there only when the whole new one is written. `label` names the file in the
// message.
StateOutcome saveStateToFile(const Machine& machine, const RomDigest& rom, const std::string& path,
                             const std::string& label,
                             const FileWriteCalls& calls = systemFileWriteCalls());

// Restores the machine from the state in `path` when it is a good state of this machine
// kind and this ROM; otherwise the machine goes on untouched.
StateOutcome loadStateFromFile(Machine& machine, const RomDigest& rom, const std::string& path,
                               const std::string& label);

// A slot's file name: the ROM's SHA-1 and the slot, "<40 hex digits>-slot<N>.qvstate".
std::string stateSlotFileName(const RomDigest& rom, int slot);
