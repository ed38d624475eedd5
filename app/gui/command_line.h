#pragma once
// The window program's command line:
// quorvix [--variant NAME|auto] [--quirk NAME=on|off]... [--speed N] [--rotate DEGREES]
//         [--chip16-extended] [--sound] [ROM].
// Without options the first argument is the ROM, as it always was; a ROM whose name
// starts with '-' comes after "--".

#include "app/machine_choices.h"

#include <cstdint>
#include <optional>
#include <string>

struct WindowCommandLine {
    // The ROM argument exactly as given (its bytes untouched), when there is one.
    std::optional<std::string> rom;
    // The machine options (--variant, --quirk, --speed, --rotate, --chip16-extended).
    MachineChoices machine;
    bool sound = false;
};

struct CommandLineOutcome {
    // Set when the program should go on and open its window.
    std::optional<WindowCommandLine> choices;
    // When it should not: the exit status (0 after --help or --version, 2 after a
    // usage error) and the text to print (to standard output for 0, else to standard
    // error).
    int exitCode = 0;
    std::string text;
};

// Parses argv as the program was started with, setting the GUI toolkit's own options
// aside. Needs no application object and no display; the help and version texts take
// the program's name and version from QCoreApplication's settings.
CommandLineOutcome parseWindowCommandLine(int argc, const char* const* argv);
