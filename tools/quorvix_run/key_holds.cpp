#include "tools/quorvix_run/key_holds.h"

#include "chip16/chip16_machine.h"
#include "chip16/controller.h"
#include "chip8/chip8_machine.h"
#include "platform/keyboard.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <string>

namespace {
std::optional<int> controllerKey(const std::string& name) {
    for (const Chip16ControllerButton& button : chip16ControllerButtons) {
        if (name == button.name) {
            return Chip16Machine::keyMap[static_cast<std::size_t>(button.keyMapEntry)];
        }
    }
    return std::nullopt;
}

std::optional<int> chip8Key(const std::string& name) {
    if (name.size() != 1 || !std::isxdigit(static_cast<unsigned char>(name[0]))) {
        return std::nullopt;
    }
    const int key = std::stoi(name, nullptr, 16);
    return Chip8Machine::keyMap[static_cast<std::size_t>(key)];
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
    std::optional<int> key = controllerFirst ? controllerKey(name) : chip8Key(name);
    if (!key) {
        key = controllerFirst ? chip8Key(name) : controllerKey(name);
    }
    const auto first = parseFrame(text.substr(at + 1, dash - at - 1));
    const auto last = parseFrame(text.substr(dash + 1));
    if (!key || !first || !last || *last < *first) {
        return std::nullopt;
    }
    return KeyHold{*key, *first, *last};
}

void applyKeyHolds(const std::vector<KeyHold>& holds, std::uint64_t frames) {
    std::map<int, bool> down;
    for (const KeyHold& hold : holds) {
        down[hold.virtualKey] =
            down[hold.virtualKey] || (frames >= hold.firstFrame && frames <= hold.lastFrame);
    }
    for (const auto& [key, isDown] : down) {
        setKeyDown(key, isDown);
    }
}

void releaseKeyHolds(const std::vector<KeyHold>& holds) {
    for (const KeyHold& hold : holds) {
        setKeyDown(hold.virtualKey, false);
    }
}
