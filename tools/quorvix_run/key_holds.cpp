#include "tools/quorvix_run/key_holds.h"

#include "app/key_tables.h"
#include "chip16/controller.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <string>

namespace {
// The key's PC key, by the tables of the machine that names it.
std::optional<unsigned> controllerInputCode(const std::string& name) {
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (name == chip16ControllerButtons[bit].name) {
            return inputCodeOfChip16Button(bit);
        }
    }
    return std::nullopt;
}

std::optional<unsigned> chip8InputCode(const std::string& name) {
    if (name.size() != 1 || !std::isxdigit(static_cast<unsigned char>(name[0]))) {
        return std::nullopt;
    }
    return inputCodeOfChip8Key(static_cast<unsigned>(std::stoi(name, nullptr, 16)));
}

std::optional<std::uint64_t> parseFrame(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}
} // namespace

std::optional<KeyHold> parseKeyHold(std::string_view text, MachineKind machine) {
    const auto at = text.find('@');
    const auto dash = text.find('-', at == std::string_view::npos ? 0 : at);
    if (at == std::string_view::npos || dash == std::string_view::npos) {
        return std::nullopt;
    }
    std::string name(text.substr(0, at));
    name = asciiLowerCase(name);
    const bool controllerFirst = machine == MachineKind::Chip16;
    std::optional<unsigned> inputCode =
        controllerFirst ? controllerInputCode(name) : chip8InputCode(name);
    if (!inputCode) {
        inputCode = controllerFirst ? chip8InputCode(name) : controllerInputCode(name);
    }
    const auto first = parseFrame(text.substr(at + 1, dash - at - 1));
    const auto last = parseFrame(text.substr(dash + 1));
    if (!inputCode || !first || !last || *last < *first) {
        return std::nullopt;
    }
    const std::optional<unsigned> key = machineKeyOfInputCode(machine, *inputCode);
    return KeyHold{key.value_or(noMachineKey), *first, *last};
}

void applyKeyHolds(const std::vector<KeyHold>& holds, std::uint64_t frames, Machine& machine) {
    std::map<unsigned, bool> down;
    for (const KeyHold& hold : holds) {
        down[hold.machineKey] =
            down[hold.machineKey] || (frames >= hold.firstFrame && frames <= hold.lastFrame);
    }
    for (const auto& [key, isDown] : down) {
        machine.setKey(key, isDown);
    }
}
