#include "app/machine_control.h"

#include "app/chip16_start_stop.h"
#include "app/chip8_start_stop.h"
#include "app/emulator_state.h"
#include "app/machine_choices.h"
#include "chip8/reset_request.h"
#include "platform/clock.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/host.h"
#include "platform/random.h"

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
    const std::string lowered = asciiLowerCase(romFileTitle);
    const bool chip16 = machineForRomName(lowered) == MachineKind::Chip16;
    EmulatorMode = chip16 ? MachineKind::Chip16 : MachineKind::Chip8;
    logMessage("Loading: %s\nEmulator Mode: %s", lowered.c_str(), chip16 ? "Chip-16" : "Chip-8");
}

void startCurrentRom() {
    stopChip8();
    stopChip16();
    detectEmulatorMode();
    applyMachineChoices(EmulatorMode.load());
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
    // A Reset the exit instruction posted before the stop would start the closed ROM
    // again by itself.
    dropPostedCommands(command::reset);
}
