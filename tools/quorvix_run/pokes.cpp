#include "tools/quorvix_run/pokes.h"

#include <charconv>

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<Poke> parsePoke(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const auto address = parseNumber(text.substr(0, equals));
    const auto value = parseNumber(text.substr(equals + 1));
    if (!address || !value || *value > 0xFF) {
        return std::nullopt;
    }
    return Poke{*address, static_cast<std::uint8_t>(*value)};
}
