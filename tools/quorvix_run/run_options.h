#pragma once
// The command line of quorvix-run.

#include "app/machine_choices.h"
#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"
#include "tools/quorvix_run/run_limits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunOptions {
    std::string romPath;
    // Refresh periods of the display clock, whether or not a frame was presented in
    // them (the flicker filter may hold every frame back).
    std::optional<std::uint64_t> frames;
    // Nothing means no time limit: the default of 2 s holds only without --frames.
    std::optional<double> seconds;
    std::vector<KeyHold> keyHolds;
    std::vector<Poke> pokes;
    // States written during the run, and a state the machine starts from.
    std::vector<StateSave> stateSaves;
    std::string loadStatePath;
    std::string screenshotPath;
    // The run's sound as a WAV file (48 kHz, 16-bit mono), by emulated time.
    std::string wavPath;
    // Play the sound on the audio device.
    bool sound = false;
    // One line per instruction executed goes to this file.
    std::string tracePath;
    // Stop before the instruction at this address, print the registers and end.
    std::optional<std::uint32_t> breakAddress;
    bool screenText = false;
    bool log = false;
    bool stats = false;
    bool noWait = false;
    bool flickerFilter = true;
    // The machine options (--variant, --quirk, --speed, --rotate, --chip16-extended);
    // the flicker filter and pacing come from the options above.
    MachineChoices machine;
};

// Parses argv. Returns the options, or nothing with `exitCode` set when the program
// should end at once (--help, --version: 0, after their text; a usage error: 2, after
// one line on standard error).
std::optional<RunOptions> parseRunOptions(int argc, const char* const* argv, int& exitCode);
