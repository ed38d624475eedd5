// quorvix-run's argument parsers against plain readings of their formats, written out
// here character by character: every text either reads as the format says or is
// refused, and nothing in between.

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_environment.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"

#include "tools/quorvix_run/key_holds.h"
#include "tools/quorvix_run/pokes.h"
#include "tools/quorvix_run/run_limits.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

namespace {
std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int digitValue(char c, unsigned base) {
    int value = 99;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < static_cast<int>(base) ? value : -1;
}

// At least one digit of `base` and nothing else, no larger than `largest`.
std::optional<std::uint64_t> digits(std::string_view text, unsigned base, std::uint64_t largest) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0 || value > (largest - static_cast<unsigned>(digit)) / base) {
            return std::nullopt;
        }
        value = value * base + static_cast<unsigned>(digit);
    }
    return value;
}

std::optional<std::uint64_t> decimal(std::string_view text) {
    return digits(text, 10, UINT64_MAX);
}

// Decimal, or hexadecimal after "0x" or "0X"; at most 32 bits.
std::optional<std::uint64_t> pokeNumber(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return digits(text.substr(2), 16, UINT32_MAX);
    }
    return digits(text, 10, UINT32_MAX);
}

std::string asciiLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// The PC keys, by the character or arrow printed on them: the CHIP-8 keypad's by CHIP-8
// key, the controller's by button bit (Up, Down, Left, Right, Select, Start, A, B).
constexpr std::array<std::string_view, 16> chip8PcKeys = {"x", "1", "2", "3", "q", "w", "e", "a",
                                                          "s", "d", "z", "c", "4", "r", "f", "v"};
constexpr std::array<std::string_view, 8> controllerPcKeys = {"up", "down", "left", "right",
                                                              "x",  "z",    "c",    "v"};
constexpr std::array<std::string_view, 8> buttonNames = {"up",     "down",  "left", "right",
                                                         "select", "start", "a",    "b"};

template <std::size_t N>
std::optional<unsigned> indexIn(const std::array<std::string_view, N>& names,
                                std::string_view name) {
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end()
               ? std::nullopt
               : std::optional<unsigned>(static_cast<unsigned>(found - names.begin()));
}

// The machine key a --press name means, as the runner documents it: the name picks a
// PC key, and the ROM's machine has that PC key as one of its keys or not at all.
std::optional<unsigned> pressedKey(std::string_view name, MachineKind machine) {
    const std::string lower = asciiLowerCase(name);
    const bool hexDigit = lower.size() == 1 && digitValue(lower[0], 16) >= 0;
    const std::optional<unsigned> button = indexIn(buttonNames, lower);
    std::string_view pcKey;
    if (hexDigit && !(button && machine == MachineKind::Chip16)) {
        pcKey = chip8PcKeys[static_cast<std::size_t>(digitValue(lower[0], 16))];
    } else if (button) {
        pcKey = controllerPcKeys[*button];
    } else {
        return std::nullopt;
    }
    const auto key = machine == MachineKind::Chip16 ? indexIn(controllerPcKeys, pcKey)
                                                    : indexIn(chip8PcKeys, pcKey);
    return key.value_or(noMachineKey);
}

// A plain decimal number: digits with at most one point among them, at least one digit,
// then an optional exponent.
bool looksDecimal(std::string_view text) {
    std::size_t i = 0;
    std::size_t mantissaDigits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            ++mantissaDigits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i == text.size()) {
        return true;
    }
    if (text[i] != 'e' && text[i] != 'E') {
        return false;
    }
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::string_view exponent = text.substr(i);
    return !exponent.empty() && exponent.find_first_not_of("0123456789") == std::string_view::npos;
}
} // namespace

int fuzzRunnerPress(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    FuzzInput input(data, size);
    const MachineKind machine = (input.byte() & 1) != 0 ? MachineKind::Chip16 : MachineKind::Chip8;
    const std::string_view text = asText(input.rest());
    const auto hold = parseKeyHold(text, machine);

    std::optional<KeyHold> expected;
    const auto at = text.find('@');
    const auto dash = at == std::string_view::npos ? at : text.find('-', at);
    if (dash != std::string_view::npos) {
        const auto key = pressedKey(text.substr(0, at), machine);
        const auto first = decimal(text.substr(at + 1, dash - at - 1));
        const auto last = decimal(text.substr(dash + 1));
        if (key && first && last && *first <= *last) {
            expected = KeyHold{*key, *first, *last};
        }
    }
    FUZZ_CHECK(hold.has_value() == expected.has_value());
    if (hold) {
        FUZZ_CHECK(hold->machineKey == expected->machineKey);
        FUZZ_CHECK(hold->firstFrame == expected->firstFrame);
        FUZZ_CHECK(hold->lastFrame == expected->lastFrame);
    }
    return 0;
}

int fuzzRunnerPoke(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    const std::string_view text = asText({data, size});
    const auto poke = parsePoke(text);

    std::optional<Poke> expected;
    const auto equals = text.find('=');
    if (equals != std::string_view::npos) {
        const auto address = pokeNumber(text.substr(0, equals));
        const auto value = pokeNumber(text.substr(equals + 1));
        if (address && value && *value <= 0xFF) {
            expected =
                Poke{static_cast<std::uint32_t>(*address), static_cast<std::uint8_t>(*value)};
        }
    }
    FUZZ_CHECK(poke.has_value() == expected.has_value());
    if (poke) {
        FUZZ_CHECK(poke->address == expected->address && poke->value == expected->value);
    }
    return 0;
}

int fuzzRunnerLimits(const std::uint8_t* data, std::size_t size) {
    prepareFuzzEnvironment();
    const std::string_view text = asText({data, size});

    const auto frames = parseFrameLimit(text);
    const auto expectedFrames = decimal(text);
    FUZZ_CHECK(frames == expectedFrames);

    // A limit the run can reach: finite, not negative, and the value the C library reads
    // from the same text.
    const auto seconds = parseSecondsLimit(text);
    const std::string terminated(text);
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(terminated.c_str(), &end);
    const bool wholeText =
        terminated.find('\0') == std::string::npos && end == terminated.c_str() + terminated.size();
    // Out of range: too large, or so small that only 0 is left (a very small value that
    // still differs from 0 is kept).
    const bool outOfRange = errno == ERANGE && (read == 0 || !std::isfinite(read));
    const bool expectedSeconds =
        looksDecimal(text) && wholeText && !outOfRange && std::isfinite(read) && read >= 0;
    FUZZ_CHECK(seconds.has_value() == expectedSeconds);
    if (seconds) {
        FUZZ_CHECK(*seconds == read);
    }

    // Quoted in an error message: one short line of printable characters.
    const std::string quoted = quotedArgument(text);
    FUZZ_CHECK(quoted.size() <= 32 + 5);
    FUZZ_CHECK(quoted.find_first_not_of(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRST"
                                        "UVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~") ==
               std::string::npos);
    return 0;
}
