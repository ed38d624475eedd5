#pragma once
// Running Chip-16 programs: one instruction at a time on a machine of the test's own, or
// frame by frame on the process's machine through the real run loop.

#include "app/chip16_runtime.h"
#include "chip16/chip16_machine.h"
#include "chip16/frame_pacer.h"
#include "chip16/instructions.h"
#include "chip16/memory_access.h"
#include "chip16/rom_loader.h"
#include "chip16/run_loop.h"
#include "platform/random.h"
#include "platform/rom_file.h"
#include "tests/support/captured_console.h"
#include "tests/support/ints.h"
#include "tools/program_builders/chip16_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using Chip16Screen = decltype(Chip16Machine::screen);

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

// A machine of the test's own run unpaced on the test thread, with seeded random numbers (one
// sequence across the test's restarts) and a display that notes R0, R1 and the vertical-blank flag
// at each frame boundary and keeps the screen and background colour it last showed.
class Chip16Frames : public ::testing::Test {
  protected:
    struct Boundary {
        std::uint16_t r0, r1;
        std::uint8_t vblank;
    };
    struct Recorder final : MachineDisplay {
        explicit Recorder(Chip16Frames& test) : test(test) {}
        void convert() override {
            const Chip16Machine& m = test.m;
            test.boundaries.push_back({m.R[0], m.R[1], m.vblank});
            test.screen = m.screen;
            test.background = m.backgroundColour;
        }
        void present() override {}
        Chip16Frames& test;
    };
    void SetUp() override { m.framePacing = false; }
    void TearDown() override { m.display = nullptr; }
    // A machine start over what memory holds, or over the program's image from 0.
    void restart() {
        // The same random numbers every run.
        const RandomState random = started ? m.random : seededRandom(16);
        resetChip16(m);
        m.random = random;
        started = true;
        boundaries.clear();
        m.display = &recorder;
    }
    void restart(const Chip16Program& program) {
        m.memory.fill(0);
        std::copy(program.image().begin(), program.image().end(), m.memory.begin());
        m.startAddress = 0;
        restart();
    }
    // Reads the ROM file into memory as a Load does.
    bool loadRom(const std::string& path) {
        const auto rom = readRomImage(path);
        if (rom) {
            loadChip16Rom(m, *rom);
        }
        return rom.has_value();
    }
    const Chip16Screen& runFrames(std::size_t count) {
        for (const std::size_t target = boundaries.size() + count; boundaries.size() < target;) {
            runChip16Batch(m);
        }
        return screen;
    }
    std::unique_ptr<Chip16Machine> machine = std::make_unique<Chip16Machine>();
    Chip16Machine& m = *machine;
    Recorder recorder{*this};
    bool started = false;
    std::vector<Boundary> boundaries;
    Chip16Screen screen{};
    std::uint8_t background = 0;
};
