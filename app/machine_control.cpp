#include "app/machine_control.h"

#include "app/key_tables.h"
#include "platform/clock.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/host.h"
#include "platform/rom_file.h"

void initStartUp() {
    initClock();
}

void MachineControl::takeRomFromCommandLine(int argc, const char* const* argv) {
    romPath_ = argc > 1 && argv[1] != nullptr ? argv[1] : "";
    romFileTitle_ = romPath_;
}

void MachineControl::detectEmulatorMode() {
    const std::string lowered = asciiLowerCase(romFileTitle_);
    mode_ = machineForRomName(lowered);
    logMessage("Loading: %s\nEmulator Mode: %s", lowered.c_str(),
               mode_ == MachineKind::Chip16 ? "Chip-16" : "Chip-8");
}

void MachineControl::startCurrentRom() {
    machine_.reset();
    if (sound_ != nullptr) {
        // What the old machine left playing ends with it.
        sound_->silence();
        sound_->hold(false);
    }
    detectEmulatorMode();
    const auto rom = readRomImage(romPath_);
    // A Chip-16 ROM is not looked up in the (CHIP-8) programs database.
    chip8Plan_ = planChip8Start(choices_, rom && mode_ == MachineKind::Chip8
                                              ? std::optional<std::span<const std::uint8_t>>(*rom)
                                              : std::nullopt);
    logMachineChoices(mode_, choices_, chip8Plan_);
    if (!rom) {
        logMessage("Error: Rom not found!");
        return;
    }
    machine_ = makeMachine(mode_, choices_, chip8Plan_);
    romDigest_ = romDigestOf(*rom);
    if (sound_ != nullptr) {
        machine_->setSoundHook(sound_->hook());
    }
    machine_->setStopHook([](StopReason) { postCommand(command::debugStopped); });
    machine_->setStopChoices(stopChoices_);
    for (const std::uint32_t address : breakpoints_) {
        machine_->setBreakpoint(address, true);
    }
    machine_->load(*rom);
    for (const int inputCode : heldInputKeys_) {
        if (const auto key = machineKeyOfInputCode(mode_, static_cast<unsigned>(inputCode))) {
            machine_->setKey(*key, true);
        }
    }
    machine_->start();
}

bool MachineControl::startChosenRom(const std::string& path, const std::string& fileName) {
    if (path.size() > maxChosenPathLength || fileName.size() > maxChosenNameLength) {
        return false;
    }
    startDroppedRom(path, fileName);
    return true;
}

void MachineControl::startDroppedRom(const std::string& path, const std::string& fileName) {
    if (path != romPath_) {
        breakpoints_.clear(); // they were addresses of the other program
    }
    romPath_ = path;
    romFileTitle_ = fileName;
    startCurrentRom();
}

void MachineControl::resetRom() {
    startCurrentRom();
}

void MachineControl::closeRom() {
    if (machine_) {
        machine_->stop();
    }
    // A Reset the exit instruction posted before the stop would start the closed ROM
    // again by itself.
    dropPostedCommands(command::reset);
    if (sound_ != nullptr) {
        sound_->silence();
    }
}

void MachineControl::setPaused(bool paused) {
    if (!machine_) {
        return;
    }
    if (paused) {
        machine_->pause();
    } else {
        machine_->resume();
    }
    if (sound_ != nullptr) {
        sound_->hold(paused);
    }
}

void MachineControl::holdSoundWhilePaused() {
    if (sound_ != nullptr && machine_ && machine_->paused()) {
        sound_->hold(true);
    }
}

void MachineControl::setBreakpoint(std::uint32_t address, bool on) {
    if (on) {
        breakpoints_.insert(address);
    } else {
        breakpoints_.erase(address);
    }
    if (machine_) {
        machine_->setBreakpoint(address, on);
    }
}

void MachineControl::setStopChoices(const StopChoices& choices) {
    stopChoices_ = choices;
    if (machine_) {
        machine_->setStopChoices(choices);
    }
}

void MachineControl::setFlickerFilter(bool on) {
    choices_.flickerFilter = on;
    if (machine_) {
        machine_->setFlickerFilter(on);
    }
}

bool MachineControl::setInputKey(int inputCode, bool down) {
    if (inputCode < 0) {
        return false;
    }
    if (down) {
        heldInputKeys_.insert(inputCode);
    } else {
        heldInputKeys_.erase(inputCode);
    }
    const auto key = machineKeyOfInputCode(mode_, static_cast<unsigned>(inputCode));
    if (key && machine_) {
        machine_->setKey(*key, down);
    }
    return key.has_value();
}

void MachineControl::releaseKeys() {
    heldInputKeys_.clear();
    if (machine_) {
        machine_->releaseKeys();
    }
}
