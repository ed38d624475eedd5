#include "chip16/run_loop.h"

#include "chip16/chip16_machine.h"
#include "chip16/controller.h"
#include "chip16/frame_pacer.h"
#include "chip16/instructions.h"
#include "chip16/memory_access.h"
#include "platform/keyboard.h"

#include <array>
#include <cmath>

namespace {
void executeNext(Chip16Machine& m) {
    const std::uint32_t word = fetchChip16Instruction(m);
    m.pc = static_cast<std::uint16_t>(m.pc + 4);
    executeChip16Instruction(m, word);
}

[[gnu::noinline]] void passFrameBoundary(Chip16Machine& m) {
    m.cycles -= chip16CyclesPerFrame;
    ++m.framesCompleted;
    if (m.display) {
        m.display->convert();
        m.display->present();
    }
    m.memory[chip16ControllerAddress] = sampleChip16Controller();
    if (framePacingEnabled()) {
        FramePacer();
    }
    // The instruction that sees the vertical blank: a waiting VBLNK passes here.
    m.cycles += 1.0;
    m.vblank = 1;
    executeNext(m);
    m.vblank = 0;
}
} // namespace

std::uint8_t sampleChip16Controller() {
    std::uint8_t buttons = 0;
    for (const Chip16ControllerButton& button : chip16ControllerButtons) {
        if (isKeyDown(Chip16Machine::keyMap[button.keyMapEntry])) {
            buttons |= button.mask;
        }
    }
    return buttons;
}

std::uint64_t chip16InstructionsExecuted(const Chip16Machine& m) {
    return static_cast<std::uint64_t>(
        std::llround(static_cast<double>(m.framesCompleted) * chip16CyclesPerFrame + m.cycles));
}

void runChip16Batch(Chip16Machine& m) {
    for (int i = 0; i < chip16IterationsPerStep; ++i) {
        const std::uint32_t word = fetchChip16Instruction(m);
        m.cycles += 1.0;
        m.pc = static_cast<std::uint16_t>(m.pc + 4);
        executeChip16Instruction(m, word);
        if (m.cycles > chip16CyclesPerFrame) {
            passFrameBoundary(m);
        }
    }
}
