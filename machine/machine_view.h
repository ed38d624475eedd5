#pragma once
// A copy of what a debugger shows of a machine, taken between two instructions.

#include <cstdint>
#include <string>
#include <vector>

struct RegisterValue {
    std::string name;
    std::uint32_t value = 0;
    // Hex digits the value is shown with (2 for a byte, 4 for a word).
    std::uint8_t digits = 2;

    bool operator==(const RegisterValue&) const = default;
};

struct MachineView {
    std::uint32_t pc = 0;
    std::vector<RegisterValue> registers;
    // The memory the machine addresses (4 KiB or 64 KiB).
    std::vector<std::uint8_t> memory;
    std::uint64_t instructionsExecuted = 0;
};
