#pragma once
// Running CHIP-8 programs on the test thread, without workers, and looking at the
// result as text; includes the machine's interface for the tests.

#include "app/chip8_runtime.h"
#include "chip8/chip8_machine.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "chip8/screen.h"
#include "machine/machine_settings.h"
#include "platform/clock.h"
#include "platform/console_log.h"
#include "platform/headless/headless_host.h"
#include "tests/support/captured_console.h"
#include "tests/support/ints.h"
#include "tests/support/temp_file.h"
#include "tools/program_builders/chip8_program.h"

#include <gtest/gtest.h>

#include <functional>

// The screen as the headless runner prints it, without its title line: 64 x 32 '.' and
// '#' in low resolution (the top-left cell of each 2 x 2 block), 128 x 64 in high.
std::string chip8ScreenRows(const Chip8Machine& m);

// A program of one instruction.
inline Chip8Program op(std::uint16_t opcode) {
    return Chip8Program().op(opcode);
}

// A rectangle of characters in rows of text; the text with rectangles replaced by '?'.
struct Area {
    std::uint32_t column, row, width, height;
};
std::string cut(const std::string& rows, const Area& area);
std::string blank(std::string rows, const std::vector<Area>& areas);

// A black-and-white picture of `columns` x `rows` logical pixels read from a PNG that
// shows them scaled up: a pixel is lit when its block's centre is not the colour of
// the picture's bottom-right pixel. Empty when the file cannot be read.
std::string pictureRows(const std::filesystem::path& png, std::uint32_t columns,
                        std::uint32_t rows);

// Polls every millisecond until the condition holds; false only when it still does not
// after a minute, which guards against a hang rather than measuring speed.
bool waitUntil(const std::function<bool()>& condition);

// Console captured with messages on, keys up, the clock real, no posted command and no
// Reset request, before and after the test; runs programs on the machine `m`.
class Chip8Harness : public ::testing::Test {
  protected:
    explicit Chip8Harness(Chip8Machine& machine) : m(machine) {}
    void SetUp() override;
    void TearDown() override;
    // Console text since the last call.
    static std::string console() { return headless::takeConsoleText(); }
    // Loads a ROM file or program bytes as a machine start does, with an empty stack.
    void loadRom(const std::string& path);
    void load(const std::vector<std::uint8_t>& program) {
        loadRom(folder.write("program.ch8", program));
    }
    // Loads the program, sets registers {index, value} and runs `steps` iterations.
    void execute(const Chip8Program& program,
                 const std::vector<std::pair<int, int>>& registers = {}, int steps = 1);
    // `count` iterations at the clock's current time (the manual one when it is on).
    void run(std::uint64_t count) { runChip8Iterations(m, count); }
    void press(int key) { m.keys.set(static_cast<unsigned>(key & 0xF), true); }
    // Writes the bytes from `address` on, wrapping at the end of memory.
    void poke(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            m.memory[(address + i) & m.rules.addressMask] = bytes[i];
        }
    }
    // Writes the sprite's bytes at `address`, points I there and draws n rows at (x, y)
    // in the planes given.
    void draw(std::uint8_t planes, bool high, std::uint8_t x, std::uint8_t y, std::uint8_t n,
              const std::vector<std::uint8_t>& sprite, std::uint16_t address = 0x300) {
        poke(address, sprite);
        m.I = address;
        m.planes = planes;
        m.hiRes = high ? 1 : 0;
        drawChip8Sprite(m, x, y, n);
    }

    CapturedConsole captured;
    Chip8Machine& m;
    TempDirectory folder;
};

// A machine of the test's own, which no worker runs.
struct OwnedChip8 {
    std::unique_ptr<Chip8Machine> owned = std::make_unique<Chip8Machine>();
};
class Chip8ProgramTest : private OwnedChip8, public Chip8Harness {
  protected:
    Chip8ProgramTest() : Chip8Harness(*owned) {}
};

// A machine with its workers and display, for tests of the workers and the display:
// frames go to `sink`; afterwards the machine is stopped. The flicker filter is off.
struct OwnedChip8Runtime {
    std::unique_ptr<Chip8Runtime> runtime = std::make_unique<Chip8Runtime>(quorvixRules);
};
class Chip8MachineTest : protected OwnedChip8Runtime, public Chip8Harness {
  protected:
    Chip8MachineTest() : Chip8Harness(runtime->machine()) { runtime->setFlickerFilter(false); }
    void SetUp() override;
    void TearDown() override;
    // Reads the ROM file and starts it on the workers by the rules `m` holds now; a file
    // that cannot be read logs "Error: Rom not found!" and leaves the machine stopped.
    void startRom(const std::string& path);
    bool stopped() const { return !runtime->running() && runtime->display() == nullptr; }

    headless::FrameSink sink;
};
