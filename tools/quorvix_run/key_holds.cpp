#include "tools/quorvix_run/key_holds.h"

#include "chip8/chip8_machine.h"
#include "platform/keyboard.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>
#include <string>

namespace {
struct Button {
    const char* name;
    int virtualKey;
};

// The Chip-16 controller on the PC keyboard: arrows, X, Z, C and V.
constexpr std::array<Button, 8> controllerButtons = {{
    {"up", 0x26},
    {"down", 0x28},
    {"left", 0x25},
    {"right", 0x27},
    {"select", 0x58},
    {"start", 0x5A},
    {"a", 0x43},
    {"b", 0x56},
}};

std::optional<int> controllerKey(const std::string& name) {
    for (const Button& button : controllerButtons) {
        if (name == button.name) {
            return button.virtualKey;
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
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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
