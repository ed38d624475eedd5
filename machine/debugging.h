#pragma once
// What a debugger asks of a running machine: breakpoints and optional stops checked
// before each instruction, and a trace of what each instruction changed. A machine
// checks nothing per instruction while none of these is wanted.

#include "machine/machine_view.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Why the machine last paused itself; none after a pause the user asked for.
enum class StopReason : std::uint8_t { none, breakpoint, unknownOpcode, exitInstruction };

// "breakpoint", "unknown opcode", "exit instruction" ("" for none).
const char* stopReasonName(StopReason reason);

struct StopChoices {
    bool onUnknownOpcode = false;
    // CHIP-8's 00FD; Chip-16 has no such instruction.
    bool onExitInstruction = false;

    bool operator==(const StopChoices&) const = default;
};

// One instruction as the debugger shows it.
struct InstructionText {
    std::string text;
    std::vector<std::uint8_t> bytes;
    bool known = true;
    bool exits = false;
};

// One executed instruction of a trace: where it was, its bytes and text, and every
// register it changed (PC aside, which every instruction moves) with its new value.
struct TracedInstruction {
    std::uint32_t address = 0;
    InstructionText instruction;
    std::vector<RegisterValue> changed;
};
using TraceHook = std::function<void(const TracedInstruction&)>;

// Called on the machine's worker right after the machine paused itself.
using StopHook = std::function<void(StopReason)>;

// The per-instruction calls a worker makes while a debugger watches (never otherwise).
class InstructionWatch {
  public:
    virtual ~InstructionWatch() = default;
    // Before the instruction at the machine's pc: true when the machine must stop
    // before it, in which case it does not run.
    virtual bool stopBefore() = 0;
    // After it ran.
    virtual void after() = 0;
};

// The breakpoints and stop choices, and the decision before an instruction. The one
// instruction after a resume (or a step) runs without the check, so that Continue from
// a breakpoint leaves it; the instruction after that is checked again, wherever it is.
class DebugStops {
  public:
    void setBreakpoint(std::uint32_t address, bool on);
    bool hasBreakpoint(std::uint32_t address) const { return breakpoints_.test(address & 0xFFFF); }
    std::vector<std::uint32_t> breakpoints() const;
    void setChoices(const StopChoices& choices) { choices_ = choices; }
    const StopChoices& choices() const { return choices_; }
    // Whether anything is to be checked at all.
    bool active() const {
        return breakpointCount_ != 0 || choices_.onUnknownOpcode || choices_.onExitInstruction;
    }

    // The next instruction runs unchecked; or, again, every one is checked.
    void passNext() { passNext_ = true; }
    void checkNext() { passNext_ = false; }
    // The decision for the instruction at `address`; `read` gives its text and is only
    // called when a stop choice needs it.
    template <typename Read> StopReason check(std::uint32_t address, Read read) {
        if (passNext_) {
            passNext_ = false;
            return StopReason::none;
        }
        if (hasBreakpoint(address)) {
            return StopReason::breakpoint;
        }
        if (choices_.onUnknownOpcode || choices_.onExitInstruction) {
            const InstructionText instruction = read();
            if (choices_.onUnknownOpcode && !instruction.known) {
                return StopReason::unknownOpcode;
            }
            if (choices_.onExitInstruction && instruction.exits) {
                return StopReason::exitInstruction;
            }
        }
        return StopReason::none;
    }

  private:
    std::bitset<65536> breakpoints_;
    std::size_t breakpointCount_ = 0;
    StopChoices choices_;
    bool passNext_ = false;
};

// The registers of `after` that differ from `before` (same names, same order), PC aside.
std::vector<RegisterValue> changedRegisters(const std::vector<RegisterValue>& before,
                                            const std::vector<RegisterValue>& after);

// The registers as "NAME=VALUE" in hex of the register's width, eight to a line.
std::string formatRegisters(const std::vector<RegisterValue>& registers);
