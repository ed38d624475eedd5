#include "tools/quorvix_run/run_options.h"

#include "machine/machine_settings.h"

#include <CLI/CLI.hpp>

#include <map>

namespace {
constexpr double defaultSeconds = 2.0;
// As the window program and most command-line tools report a usage error.
constexpr int usageErrorStatus = 2;

std::map<std::string, Chip8Variant> variantNames() {
    std::map<std::string, Chip8Variant> names;
    for (const Chip8Variant variant : chip8Variants) {
        names.emplace(chip8VariantOption(variant), variant);
    }
    return names;
}
} // namespace

std::optional<RunOptions> parseRunOptions(int argc, const char* const* argv, int& exitCode) {
    CLI::App app{"Runs a CHIP-8, SCHIP or Chip-16 ROM headless on the emulator's own workers "
                 "and display, and reports what it showed.",
                 "quorvix-run"};
    RunOptions options;
    std::uint64_t frames = 0;
    double seconds = defaultSeconds;
    std::vector<std::string> presses;
    std::vector<std::string> pokes;

    auto* framesOption =
        app.add_option("--frames", frames, "stop after N presented frames")->type_name("N");
    auto* secondsOption =
        app.add_option("--seconds", seconds,
                       "stop after S seconds (default 2, or no limit when --frames is given)")
            ->type_name("S")
            ->check(CLI::NonNegativeNumber);
    app.add_option("--press", presses,
                   "hold KEY from frame A to frame B (KEY: a CHIP-8 key 0-F, or a controller "
                   "button up/down/left/right/select/start/a/b); repeatable")
        ->type_name("KEY@A-B")
        ->allow_extra_args(false);
    app.add_option("--poke", pokes,
                   "write a byte into memory after loading (e.g. 0x1FF=2); repeatable")
        ->type_name("ADDR=BYTE")
        ->allow_extra_args(false);
    app.add_option("--screenshot", options.screenshotPath, "write the last presented frame as PNG")
        ->type_name("FILE");
    app.add_flag("--screen-text", options.screenText,
                 "print the machine's screen buffer as text rows");
    app.add_flag("--log", options.log, "show the console log on standard output");
    app.add_flag("--stats", options.stats,
                 "print instructions executed, instructions per second, frames");
    app.add_flag("--no-wait", options.noWait,
                 "no refresh wait (and, for Chip-16, no frame pacing)");
    app.add_option("--variant", options.variant,
                   "the CHIP-8 rule set: quorvix (the default), chip8, schip, schip-legacy")
        ->type_name("NAME")
        ->transform(CLI::CheckedTransformer(variantNames()));
    app.set_version_flag("--version", "quorvix-run 1.0");
    app.add_option("ROM", options.romPath, "the ROM file (after -- when its name starts with -)")
        ->required();

    try {
        app.parse(argc, argv);
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
        exitCode = app.exit(error) != 0 ? usageErrorStatus : 0;
        return std::nullopt;
    }
    if (framesOption->count() > 0) {
        options.frames = frames;
    }
    if (secondsOption->count() > 0 || !options.frames) {
        options.seconds = seconds;
    }
    return options;
}
