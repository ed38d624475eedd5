#pragma once
// What quorvix-run needs of a machine. Each machine kind has one implementation; a
// new one only has to fill in these few operations.

#include "machine/machine_settings.h"
#include "tools/quorvix_run/pokes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Chip8Machine;
struct Chip16Machine;

class RunnerMachine {
  public:
    virtual ~RunnerMachine() = default;

    // Bytes of memory a poke may address.
    virtual std::uint32_t memorySize() const = 0;
    // Stops whatever runs, loads the ROM, writes the pokes and starts the workers;
    // false when the ROM could not be loaded (the machine then stays stopped).
    virtual bool start(const std::string& path, const std::vector<Poke>& pokes) = 0;
    virtual void stop() = 0;
    // Instructions executed by this process so far.
    virtual std::uint64_t instructionsExecuted() const = 0;
    // The screen buffer as text rows, with a first line that says what is shown.
    // Called only while the machine is stopped.
    virtual std::string screenText() const = 0;
    // Machine-specific lines for --stats (e.g. the unknown opcodes met); called only
    // while the machine is stopped.
    virtual std::string statsText() const { return {}; }
};

std::unique_ptr<RunnerMachine> makeChip8Runner();
std::unique_ptr<RunnerMachine> makeChip16Runner();
std::unique_ptr<RunnerMachine> makeRunner(MachineKind kind);

// The Chip-8 screen as text: the 128 x 64 buffer in high resolution, the 64 x 32
// logical pixels (top-left cell of each 2 x 2 block) in low resolution; '.' dark, '#'
// lit, and under XO-CHIP rules '+' lit in plane 2 only and '@' in both planes.
std::string chip8ScreenText(const Chip8Machine& machine);

// The Chip-16 screen as 240 rows of 320 hex colour digits ('0' shows the background).
std::string chip16ScreenText(const Chip16Machine& machine);
// Every unknown opcode the Chip-16 machine met since it started, with its count.
std::string chip16UnknownOpcodeText(const Chip16Machine& machine);
