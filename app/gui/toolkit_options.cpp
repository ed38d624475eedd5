#include "app/gui/toolkit_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {
// Qt 6's options as its GUI, widget and xcb parts read them; each is taken with one
// dash or two.
constexpr std::array<std::string_view, 16> optionsWithValue = {"platform",
                                                               "platformpluginpath",
                                                               "platformtheme",
                                                               "plugin",
                                                               "qwindowgeometry",
                                                               "geometry",
                                                               "qwindowicon",
                                                               "icon",
                                                               "qwindowtitle",
                                                               "title",
                                                               "session",
                                                               "style",
                                                               "stylesheet",
                                                               "display",
                                                               "name",
                                                               "visual"};
constexpr std::array<std::string_view, 5> flagOptions = {"reverse", "testability", "widgetcount",
                                                         "nograb", "dograb"};
// Taken only as "-name=value".
constexpr std::array<std::string_view, 3> optionsWithJoinedValue = {"style", "stylesheet",
                                                                    "qmljsdebugger"};

bool isOneOf(std::string_view name, auto const& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The option's name without its dashes, or empty for an argument that is no option.
std::string_view optionName(std::string_view argument) {
    if (argument.size() < 2 || argument[0] != '-') {
        return {};
    }
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    return argument;
}
} // namespace

std::vector<std::string> removeToolkitOptions(int argc, const char* const* argv) {
    std::vector<std::string> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::string_view name = i == 0 ? std::string_view() : optionName(argument);
        if (argument == "--") {
            kept.insert(kept.end(), argv + i, argv + argc);
            break;
        }
        const std::size_t equals = name.find('=');
        if (equals != std::string_view::npos &&
            isOneOf(name.substr(0, equals), optionsWithJoinedValue)) {
            continue;
        }
        if (isOneOf(name, flagOptions)) {
            continue;
        }
        if (isOneOf(name, optionsWithValue) && i + 1 < argc) {
            ++i; // its value goes with it
            continue;
        }
        kept.emplace_back(argument);
    }
    return kept;
}
