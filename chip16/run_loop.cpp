#include "chip16/run_loop.h"

#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "chip16/instructions.h"
#include "chip16/memory_access.h"
#include "workers/worker_thread.h"

#include <algorithm>
#include <cmath>

namespace {
void executeNext(Chip16Machine& m) {
    const std::uint32_t word = fetchChip16Instruction(m);
    m.pc = static_cast<std::uint16_t>(m.pc + 4);
    executeChip16Instruction(m, word);
}

// A VBLNK that waits jumps to itself and changes nothing else, and the vertical blank
// only comes at a frame boundary: a run that starts on one is that wait repeated.
bool waitsForVerticalBlank(const Chip16Machine& m) {
    constexpr std::uint32_t vblnk = 0x02;
    return m.vblank == 0 && (fetchChip16Instruction(m) & 0xFF) == vblnk;
}

[[gnu::noinline]] void passFrameBoundary(Chip16Machine& m, bool pace) {
    m.cycles -= chip16CyclesPerFrame;
    ++m.framesCompleted;
    if (m.display) {
        m.display->convert();
        m.display->present();
    }
    m.memory[chip16ControllerAddress] = sampleChip16Controller(m);
    if (pace && m.framePacing) {
        FramePacer();
    }
    // The instruction that sees the vertical blank: a waiting VBLNK passes here.
    m.cycles += 1.0;
    m.vblank = 1;
    executeNext(m);
    m.vblank = 0;
}
} // namespace

std::uint8_t sampleChip16Controller(const Chip16Machine& m) {
    return static_cast<std::uint8_t>(m.keys.bits() & 0xFF);
}

std::uint32_t advanceChip16Cycles(double& cycles, std::uint32_t most) {
    std::uint32_t done = 0;
    while (done < most && !(cycles > chip16CyclesPerFrame)) {
        std::uint32_t steps = 1;
        if (cycles >= 1.0) {
            // In the binade [top / 2, top) every sum cycles + n below top is a multiple
            // of cycles' unit in the last place, so adding 1.0 n times is exact and
            // equals one addition of n. Only the step into the next binade rounds, and
            // that one is done alone. top - cycles is exact (the two are within a
            // factor of two), and so is chip16CyclesPerFrame - cycles when cycles is in
            // the frame's own binade, the only one the frame's end can fall in.
            int exponent = 0;
            std::frexp(cycles, &exponent);
            const double top = std::ldexp(1.0, exponent);
            double exact = std::ceil(top - cycles) - 1.0;
            if (top > chip16CyclesPerFrame) {
                exact = std::min(exact, std::floor(chip16CyclesPerFrame - cycles) + 1.0);
            }
            exact = std::min(exact, static_cast<double>(most - done));
            if (exact > 1.0) {
                steps = static_cast<std::uint32_t>(exact);
            }
        }
        cycles += static_cast<double>(steps);
        done += steps;
    }
    return done;
}

std::uint64_t chip16InstructionsExecuted(const Chip16Machine& m) {
    return static_cast<std::uint64_t>(
        std::llround(static_cast<double>(m.framesCompleted) * chip16CyclesPerFrame + m.cycles));
}

// A debugger watches: the batch's instructions one at a time, each checked, with the
// frame boundaries where the count puts them (bit for bit as the fast path does).
void runWatchedBatch(Chip16Machine& m) {
    for (int i = 0; i < chip16IterationsPerStep && !stepShouldEnd(); ++i) {
        if (m.watch->stopBefore()) {
            return;
        }
        if (m.cycles > chip16CyclesPerFrame) {
            passFrameBoundary(m, true);
        } else {
            m.cycles += 1.0;
            executeNext(m);
        }
        m.watch->after();
    }
}

void runChip16Batch(Chip16Machine& m) {
    if (m.watch != nullptr) {
        runWatchedBatch(m);
        return;
    }
    // No instruction reads the count, so it can be advanced up to the next boundary (or
    // the batch's end) before the instructions in between run.
    std::uint32_t left = chip16IterationsPerStep;
    while (left != 0) {
        const std::uint32_t run = advanceChip16Cycles(m.cycles, left);
        if (!waitsForVerticalBlank(m)) {
            runChip16Instructions(m, run);
        }
        left -= run;
        if (m.cycles > chip16CyclesPerFrame) {
            passFrameBoundary(m, true);
        }
    }
}

bool stepChip16Instruction(Chip16Machine& m) {
    if (m.watch != nullptr && m.watch->stopBefore()) {
        return false;
    }
    // The same order as a batch: an instruction's count takes the frame past its end,
    // and the boundary's own instruction (the one that sees vblank) comes next.
    if (m.cycles > chip16CyclesPerFrame) {
        passFrameBoundary(m, false);
    } else {
        m.cycles += 1.0;
        executeNext(m);
    }
    if (m.watch != nullptr) {
        m.watch->after();
    }
    return true;
}

void stepChip16Frame(Chip16Machine& m) {
    const std::uint64_t frame = m.framesCompleted;
    while (m.framesCompleted == frame) {
        if (!stepChip16Instruction(m)) {
            return;
        }
    }
}
