#include "machine/debugging.h"

#include <cstdio>

const char* stopReasonName(StopReason reason) {
    switch (reason) {
    case StopReason::breakpoint: return "breakpoint";
    case StopReason::unknownOpcode: return "unknown opcode";
    case StopReason::exitInstruction: return "exit instruction";
    case StopReason::none: break;
    }
    return "";
}

void DebugStops::setBreakpoint(std::uint32_t address, bool on) {
    const std::size_t bit = address & 0xFFFF;
    if (breakpoints_.test(bit) != on) {
        breakpoints_.set(bit, on);
        breakpointCount_ = on ? breakpointCount_ + 1 : breakpointCount_ - 1;
    }
}

std::vector<std::uint32_t> DebugStops::breakpoints() const {
    std::vector<std::uint32_t> addresses;
    for (std::uint32_t address = 0;
         address < breakpoints_.size() && addresses.size() < breakpointCount_; ++address) {
        if (breakpoints_.test(address)) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

std::vector<RegisterValue> changedRegisters(const std::vector<RegisterValue>& before,
                                            const std::vector<RegisterValue>& after) {
    std::vector<RegisterValue> changed;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i].name != "PC" && (i >= before.size() || before[i].value != after[i].value)) {
            changed.push_back(after[i]);
        }
    }
    return changed;
}

std::string formatRegisters(const std::vector<RegisterValue>& registers) {
    std::string text;
    char item[32];
    for (std::size_t i = 0; i < registers.size(); ++i) {
        const RegisterValue& r = registers[i];
        std::snprintf(item, sizeof item, "%s=%0*X", r.name.c_str(), int{r.digits},
                      static_cast<unsigned>(r.value));
        text += item;
        text += (i % 8 == 7 || i + 1 == registers.size()) ? '\n' : ' ';
    }
    return text;
}
