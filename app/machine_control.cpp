#include "app/machine_control.h"

#include "app/console_log.h"
#include "app/emulator_state.h"
#include "chip16/start_stop.h"
#include "chip8/start_stop.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace {
// Only A-Z are lowered, as the C locale's tolower does. The GUI toolkit switches the
// process to the user's locale, which must not decide which machine a name selects.
std::string lowerCased(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}
} // namespace

void initStartUp() {
    initClock();
    seedRandom(static_cast<std::uint32_t>(readPerformanceCounter()));
    randomSeeded = true;
}

void takeRomFromCommandLine(int argc, const char* const* argv) {
    romPath = argc > 1 && argv[1] != nullptr ? argv[1] : "";
    romFileTitle = romPath;
}

void detectEmulatorMode() {
    const std::string lowered = lowerCased(romFileTitle);
    const bool chip16 = lowered.find(".c16") != std::string::npos;
    EmulatorMode = chip16 ? MachineKind::Chip16 : MachineKind::Chip8;
    logMessage("Loading: %s\nEmulator Mode: %s", lowered.c_str(), chip16 ? "Chip-16" : "Chip-8");
}

void startCurrentRom() {
    stopChip8();
    stopChip16();
    detectEmulatorMode();
    if (EmulatorMode.load() == MachineKind::Chip8) {
        startChip8(romPath);
    } else {
        startChip16(romPath);
    }
}

bool startChosenRom(const std::string& path, const std::string& fileName) {
    if (path.size() > maxChosenPathLength || fileName.size() > maxChosenNameLength) {
        return false;
    }
    startDroppedRom(path, fileName);
    return true;
}

void startDroppedRom(const std::string& path, const std::string& fileName) {
    romPath = path;
    romFileTitle = fileName;
    startCurrentRom();
}

void resetRom() {
    startCurrentRom();
}

void closeRom() {
    stopChip8();
    stopChip16();
}
