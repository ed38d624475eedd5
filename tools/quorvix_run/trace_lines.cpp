#include "tools/quorvix_run/trace_lines.h"

#include <cstdio>

namespace {
constexpr std::size_t bytesColumn = 11; // four bytes: "F0 00 12 34"
constexpr std::size_t textColumn = 18;

void padTo(std::string& text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
}
} // namespace

std::string formatTraceLine(const TracedInstruction& traced) {
    char item[32];
    std::snprintf(item, sizeof item, "%04X  ", static_cast<unsigned>(traced.address));
    std::string line = item;
    std::string bytes;
    for (const std::uint8_t byte : traced.instruction.bytes) {
        std::snprintf(item, sizeof item, bytes.empty() ? "%02X" : " %02X", unsigned{byte});
        bytes += item;
    }
    padTo(bytes, bytesColumn);
    line += bytes + "  ";
    std::string text = traced.instruction.text;
    if (!traced.changed.empty()) {
        padTo(text, textColumn);
    }
    line += text;
    // Two blanks before the first register, one between registers.
    const char* separator = "  ";
    for (const RegisterValue& r : traced.changed) {
        std::snprintf(item, sizeof item, "%s=%0*X", r.name.c_str(), int{r.digits},
                      static_cast<unsigned>(r.value));
        line += separator;
        line += item;
        separator = " ";
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line + '\n';
}

std::string formatBreakReport(std::uint32_t address, const InstructionText& instruction,
                              const std::vector<RegisterValue>& registers) {
    char head[96];
    std::snprintf(head, sizeof head, "break at 0x%04X: %s\n", static_cast<unsigned>(address),
                  instruction.text.c_str());
    return head + formatRegisters(registers);
}
