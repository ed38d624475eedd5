#include "tools/quorvix_run/run_options.h"

#include "chip8/program_database.h"
#include "machine/machine_settings.h"
#include "quorvix_version.h"
#include "tools/quorvix_run/run_limits.h"

#include <CLI/CLI.hpp>

#include <cstdio>

namespace {
constexpr double defaultSeconds = 2.0;
// Usage errors end the program with this status, after one line on standard error.
constexpr int badArgumentStatus = 2;

// CLI11's message, kept to one line whatever the arguments held.
void printUsageError(const std::string& message) {
    std::string line;
    for (const char c : message) {
        line += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
    }
    std::fprintf(stderr, "quorvix-run: %s (see --help)\n", line.c_str());
}

} // namespace

std::optional<RunOptions> parseRunOptions(int argc, const char* const* argv, int& exitCode) {
    CLI::App app{"Runs a CHIP-8, SCHIP or Chip-16 ROM headless on the emulator's own workers "
                 "and display, and reports what it showed.",
                 "quorvix-run"};
    RunOptions options;
    std::string framesText;
    std::string secondsText;
    std::vector<std::string> presses;
    std::vector<std::string> pokes;

    auto* framesOption = app.add_option("--frames", framesText,
                                        "stop after N refresh periods of the display (60 Hz)")
                             ->type_name("N");
    auto* secondsOption =
        app.add_option("--seconds", secondsText,
                       "stop after S seconds (default 2, or no limit when --frames is given)")
            ->type_name("S");
    app.add_option("--press", presses,
                   "hold KEY from refresh period A to B (KEY: a CHIP-8 key 0-F, or a controller "
                   "button up/down/left/right/select/start/a/b); repeatable")
        ->type_name("KEY@A-B")
        ->allow_extra_args(false);
    app.add_option("--poke", pokes,
                   "write a byte into memory after loading (e.g. 0x1FF=2); repeatable")
        ->type_name("ADDR=BYTE")
        ->allow_extra_args(false);
    std::vector<std::string> stateSaves;
    app.add_option("--save-state", stateSaves,
                   "write the machine's state to FILE at refresh period FRAME; repeatable")
        ->type_name("FILE@FRAME")
        ->allow_extra_args(false);
    auto* loadStateOption =
        app.add_option("--load-state", options.loadStatePath,
                       "start from the state in FILE (taken from the same ROM) instead of the "
                       "ROM's first instruction")
            ->type_name("FILE");
    auto* screenshotOption = app.add_option("--screenshot", options.screenshotPath,
                                            "write the last presented frame as PNG")
                                 ->type_name("FILE");
    auto* wavOption = app.add_option("--wav", options.wavPath,
                                     "write the run's sound as WAV (48 kHz, 16-bit mono), by "
                                     "the machine's own time")
                          ->type_name("FILE");
    app.add_flag("--sound", options.sound, "play the sound on the audio device");
    auto* traceOption =
        app.add_option("--trace", options.tracePath,
                       "write one line per instruction to FILE: address, bytes, instruction, "
                       "the registers it changed")
            ->type_name("FILE");
    std::string breakText;
    auto* breakOption = app.add_option("--break", breakText,
                                       "stop before the instruction at ADDR, print the "
                                       "registers and end")
                            ->type_name("ADDR");
    app.add_flag("--screen-text", options.screenText,
                 "print the machine's screen buffer as text rows");
    app.add_flag("--log", options.log, "show the console log on standard output");
    app.add_flag("--stats", options.stats,
                 "print instructions executed, instructions per second, frames");
    app.add_flag("--no-wait", options.noWait,
                 "no refresh wait (and, for Chip-16, no frame pacing)");
    std::string flickerFilter = "on";
    app.add_option("--flicker-filter", flickerFilter,
                   "skip CHIP-8 frames whose last sprite erased a pixel (default on)")
        ->type_name("on|off")
        ->check(CLI::IsMember({"on", "off"}));
    app.add_flag("--chip16-extended", options.machine.chip16Extended,
                 "Chip-16: execute the later instructions (MOD, REM, NOT, NEG, PAL)");
    std::string variantText;
    auto* variantOption =
        app.add_option("--variant", variantText,
                       "the CHIP-8 rule set: quorvix (the default), chip8, schip, schip-legacy, "
                       "xochip, or auto (from the programs database by the ROM's SHA-1)")
            ->type_name("NAME");
    std::vector<std::string> quirks;
    app.add_option("--quirk", quirks,
                   "turn one CHIP-8 rule switch on top of the variant; repeatable. NAME: " +
                       chip8SwitchNames())
        ->type_name("NAME=on|off")
        ->allow_extra_args(false);
    std::string rotateText;
    auto* rotateOption = app.add_option("--rotate", rotateText,
                                        "turn the CHIP-8 picture (and the screenshot) clockwise "
                                        "by 0, 90, 180 or 270 degrees")
                             ->type_name("DEGREES");
    std::string speedText;
    auto* speedOption =
        app.add_option("--speed", speedText,
                       "instructions per 1/60 s for a paced variant, 1 to 100000 (xochip runs "
                       "1000, the others their own)")
            ->type_name("N");
    app.set_version_flag("--version", std::string("quorvix-run ") + quorvixVersion);
    app.add_option("ROM", options.romPath, "the ROM file (after -- when its name starts with -)")
        ->required();

    try {
        app.parse(argc, argv);
        if (framesOption->count() > 0) {
            options.frames = parseFrameLimit(framesText);
            if (!options.frames) {
                throw CLI::ValidationError("--frames", "expected a whole number from 0 to "
                                                       "18446744073709551615, got " +
                                                           quotedArgument(framesText));
            }
        }
        if (secondsOption->count() > 0) {
            options.seconds = parseSecondsLimit(secondsText);
            if (!options.seconds) {
                throw CLI::ValidationError("--seconds", "expected a finite number of seconds, 0 "
                                                        "or more, got " +
                                                            quotedArgument(secondsText));
            }
        } else if (!options.frames) {
            options.seconds = defaultSeconds;
        }
        for (const std::string& text : stateSaves) {
            const auto save = parseStateSave(text);
            if (!save) {
                throw CLI::ValidationError("--save-state",
                                           "expected FILE@FRAME, got " + quotedArgument(text));
            }
            options.stateSaves.push_back(*save);
        }
        if (loadStateOption->count() > 0 && options.loadStatePath.empty()) {
            throw CLI::ValidationError("--load-state", "expected a file name, got \"\"");
        }
        if (screenshotOption->count() > 0 && options.screenshotPath.empty()) {
            throw CLI::ValidationError("--screenshot", "expected a file name, got \"\"");
        }
        if (wavOption->count() > 0 && options.wavPath.empty()) {
            throw CLI::ValidationError("--wav", "expected a file name, got \"\"");
        }
        if (traceOption->count() > 0 && options.tracePath.empty()) {
            throw CLI::ValidationError("--trace", "expected a file name, got \"\"");
        }
        if (breakOption->count() > 0) {
            options.breakAddress = parseNumber(breakText);
            if (!options.breakAddress) {
                throw CLI::ValidationError("--break", "expected an address (decimal or 0x...), "
                                                      "got " +
                                                          quotedArgument(breakText));
            }
        }
        // Only the names: the rule sets have no numbers a user could know.
        if (variantOption->count() > 0 && variantText == automaticVariantOption) {
            options.machine.automatic = true;
        } else if (variantOption->count() > 0) {
            const auto variant = chip8VariantForOption(variantText);
            if (!variant) {
                throw CLI::ValidationError("--variant",
                                           "unknown variant " + quotedArgument(variantText));
            }
            options.machine.variant = *variant;
        }
        if (speedOption->count() > 0) {
            const auto speed = parseChip8Speed(speedText);
            if (!speed) {
                throw CLI::ValidationError("--speed", "expected a whole number from 1 to 100000, "
                                                      "got " +
                                                          quotedArgument(speedText));
            }
            if (!options.machine.automatic &&
                chip8RulesFor(options.machine.variant).instructionsPerTick == 0) {
                throw CLI::ValidationError(
                    "--speed", "needs a paced variant (the " +
                                   std::string(chip8VariantOption(options.machine.variant)) +
                                   " rules run as fast as the host)");
            }
            options.machine.speed = *speed;
        }
        for (const std::string& text : quirks) {
            const auto quirk = parseChip8Quirk(text);
            if (!quirk) {
                throw CLI::ValidationError("--quirk", "expected NAME=on or NAME=off with a "
                                                      "switch name of --help, got " +
                                                          quotedArgument(text));
            }
            options.machine.overrides.set(quirk->first, quirk->second);
        }
        if (rotateOption->count() > 0) {
            options.machine.rotation = parseRotation(rotateText);
            if (!options.machine.rotation) {
                throw CLI::ValidationError("--rotate", "expected 0, 90, 180 or 270, got " +
                                                           quotedArgument(rotateText));
            }
        }
        const MachineKind machine = machineForRomName(options.romPath);
        for (const std::string& text : presses) {
            const auto hold = parseKeyHold(text, machine);
            if (!hold) {
                throw CLI::ValidationError("--press", "expected KEY@A-B, got \"" + text + "\"");
            }
            options.keyHolds.push_back(*hold);
        }
        for (const std::string& text : pokes) {
            const auto poke = parsePoke(text);
            if (!poke) {
                throw CLI::ValidationError("--poke", "expected ADDR=BYTE, got \"" + text + "\"");
            }
            options.pokes.push_back(*poke);
        }
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            exitCode = app.exit(error); // --help
        } else {
            printUsageError(error.what());
            exitCode = badArgumentStatus;
        }
        return std::nullopt;
    }
    options.flickerFilter = flickerFilter == "on";
    return options;
}
