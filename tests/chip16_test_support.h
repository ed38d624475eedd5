#pragma once
// Running Chip-16 programs built in memory, one instruction at a time.

#include "app/console_log.h"
#include "chip16/chip16_machine.h"
#include "chip16/instructions.h"
#include "chip16/memory_access.h"
#include "chip16/start_stop.h"
#include "platform/headless/headless_host.h"
#include "tools/program_builders/chip16_program.h"

#include <algorithm>
#include <memory>
#include <string>

// A machine of its own (not the process's), reset as a machine start leaves it, with
// the program's image in memory.
inline std::unique_ptr<Chip16Machine> machineWith(const Chip16Program& program) {
    auto m = std::make_unique<Chip16Machine>();
    std::copy(program.image().begin(), program.image().end(), m->memory.begin());
    resetChip16(*m);
    return m;
}

// Fetch, advance PC, execute: what the run loop does for one instruction.
inline void step(Chip16Machine& m, int count = 1) {
    for (int i = 0; i < count; ++i) {
        const std::uint32_t word = fetchChip16Instruction(m);
        m.pc = static_cast<std::uint16_t>(m.pc + 4);
        executeChip16Instruction(m, word);
    }
}

// Console output captured while verboseConsole is on.
struct CapturedConsole {
    CapturedConsole() {
        headless::captureConsole(true);
        headless::takeConsoleText();
        verboseConsole = 1;
    }
    ~CapturedConsole() {
        verboseConsole = 0;
        headless::captureConsole(false);
    }
    std::string take() { return headless::takeConsoleText(); }
};
