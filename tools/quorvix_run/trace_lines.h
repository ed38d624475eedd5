#pragma once
// The text quorvix-run writes for --trace and --break.

#include "machine/debugging.h"

#include <string>

// One trace line: the address in 4 hex digits, the instruction's bytes in hex, its text
// and the registers it changed as NAME=VALUE, for instance
// "0204  80 14        ADD V0, V1          V0=07 VF=00" (no trailing blanks).
std::string formatTraceLine(const TracedInstruction& traced);

// What --break prints: "break at 0x0206: ADD V0, V1", then the registers.
std::string formatBreakReport(std::uint32_t address, const InstructionText& instruction,
                              const std::vector<RegisterValue>& registers);
