#include "app/state_transfer.h"

#include "platform/rom_file.h"

#include <vector>

StateOutcome saveStateToFile(const Machine& machine, const RomDigest& rom, const std::string& path,
                             const std::string& label, const FileWriteCalls& calls) {
    const std::vector<std::uint8_t> bytes = encodeSaveState(rom, machine.takeState());
    const std::string error = replaceFile(path, bytes, calls);
    if (!error.empty()) {
        return {false, "State not saved: cannot write " + label + " (" + error +
                           "); the file there before is kept"};
    }
    return {true, "State saved: " + label};
}

StateOutcome loadStateFromFile(Machine& machine, const RomDigest& rom, const std::string& path,
                               const std::string& label) {
    std::vector<std::uint8_t> bytes(stateFileReadLimit + 1);
    const auto length = readRomFile(path.c_str(), bytes.data(), bytes.size());
    if (!length) {
        return {false, "State not loaded: cannot read " + label};
    }
    if (*length > stateFileReadLimit) {
        return {false, "State not loaded: " + label + " is too large to be a save state"};
    }
    bytes.resize(*length);
    const StateReading reading = checkStateFits(decodeSaveState(bytes), machine.kind(), rom);
    if (!reading.saved || !machine.restoreState(reading.saved->state)) {
        return {false, "State not loaded: " + label + " " + reading.reason};
    }
    return {true, "State loaded: " + label};
}

std::string stateSlotFileName(const RomDigest& rom, int slot) {
    return romDigestText(rom) + "-slot" + std::to_string(slot) + ".qvstate";
}
