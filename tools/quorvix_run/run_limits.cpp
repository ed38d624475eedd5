#include "tools/quorvix_run/run_limits.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
bool onlyDecimalNumberCharacters(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
    });
}
} // namespace

std::optional<std::uint64_t> parseFrameLimit(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseSecondsLimit(std::string_view text) {
    // from_chars also reads "nan", "inf" and "infinity"; only digits, a point and an
    // exponent get that far. The first character must be a digit or the point.
    if (text.empty() || text[0] == '-' || text[0] == '+' || !onlyDecimalNumberCharacters(text)) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::string quotedArgument(std::string_view text) {
    constexpr std::size_t longest = 32;
    std::string quoted = "\"";
    for (const char c : text.substr(0, longest)) {
        quoted += c >= ' ' && c <= '~' ? c : '?';
    }
    quoted += text.size() > longest ? "...\"" : "\"";
    return quoted;
}

std::optional<StateSave> parseStateSave(std::string_view text) {
    const std::size_t at = text.rfind('@');
    if (at == std::string_view::npos || at == 0) {
        return std::nullopt;
    }
    const auto frame = parseFrameLimit(text.substr(at + 1));
    if (!frame) {
        return std::nullopt;
    }
    return StateSave{std::string(text.substr(0, at)), *frame};
}
