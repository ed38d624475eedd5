#include "platform/console_log.h"

#include "platform/host.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

std::atomic<std::int32_t> verboseConsole{0};
std::atomic<bool> consoleKeepsHistory{false};

namespace {
// Formats the message with its newline and hands both to the sink as one piece.
void writeLine(const char* format, va_list arguments) {
    std::array<char, 512> buffer;
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (length < 0) {
        return;
    }
    const auto textLength = static_cast<std::size_t>(length);
    if (textLength + 1 < buffer.size()) {
        buffer[textLength] = '\n';
        consoleSink().write(std::string_view(buffer.data(), textLength + 1));
        return;
    }
    std::string line(textLength + 1, '\0');
    std::vsnprintf(line.data(), line.size(), format, arguments);
    line.back() = '\n';
    consoleSink().write(line);
}
} // namespace

void logMessage(const char* format, ...) {
    if (verboseConsole.load(std::memory_order_relaxed) == 0 &&
        !consoleKeepsHistory.load(std::memory_order_relaxed)) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    writeLine(format, arguments);
    va_end(arguments);
}
