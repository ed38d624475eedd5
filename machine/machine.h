#pragma once
// The one way a program drives an emulated machine. The window program and the
// headless runner both use it, whatever the machine; each machine kind implements it
// with its own workers and display. Every operation is for the driving thread (the GUI
// thread, or a runner's main thread) unless it says otherwise.

#include "machine/debugging.h"
#include "machine/machine_settings.h"
#include "machine/machine_view.h"
#include "machine/sound_event.h"

#include <any>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class Machine {
  public:
    virtual ~Machine() = default;

    virtual MachineKind kind() const = 0;

    // Stops whatever runs and puts the ROM image into a fresh machine, ready to start
    // from its first instruction. The image is kept for reset().
    virtual void load(std::span<const std::uint8_t> rom) = 0;
    // Starts the workers on the machine as it stands; it runs unless paused.
    virtual void start() = 0;
    // Stops the workers at the next instruction boundary; the state stays as it was
    // left. Harmless when nothing runs.
    virtual void stop() = 0;
    // The loaded image from its first instruction again, running if it ran before.
    virtual void reset() = 0;
    virtual bool running() const = 0;

    // While paused no instruction runs and no time passes for the machine: its timers
    // and frame clock stand still, so resume() goes on exactly where pause() left.
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual bool paused() const = 0;
    // While paused or stopped: exactly one instruction, or the instructions of one
    // frame (one 1/60 s tick for CHIP-8, up to the next frame boundary for Chip-16).
    // A step runs the instruction at pc even where a breakpoint is; Step Frame then
    // stops at the next breakpoint or chosen stop, as Continue does.
    virtual void stepInstruction() = 0;
    virtual void stepFrame() = 0;

    // Debugging (driving thread). A breakpoint pauses the machine before its
    // instruction runs; the first instruction after resume() (the one the machine
    // stopped before) runs unchecked. Breakpoints and choices survive load() and reset().
    virtual void setBreakpoint(std::uint32_t address, bool on) = 0;
    virtual std::vector<std::uint32_t> breakpoints() const = 0;
    virtual void setStopChoices(const StopChoices& choices) = 0;
    // Why the machine last paused itself; none once it runs again or the user paused it.
    virtual StopReason lastStop() const = 0;
    // Called on the worker each time the machine pauses itself; set before start().
    virtual void setStopHook(StopHook hook) = 0;
    // Called on the worker after every instruction with what it changed; set before
    // start(). Only a trace should want this: it costs about a microsecond each.
    virtual void setTraceHook(TraceHook hook) = 0;
    // While paused or stopped: a register by its name in view(), the value cut to the
    // register's width; false (nothing changes) for a name the machine lacks.
    virtual bool setRegister(const std::string& name, std::uint32_t value) = 0;
    virtual std::vector<RegisterValue> registers() const = 0;
    // The instruction at `address` of `memory` (a view's copy) by this machine's rules.
    virtual InstructionText disassemble(std::span<const std::uint8_t> memory,
                                        std::uint32_t address) const = 0;

    // The machine's own keys: CHIP-8 keys 0x0-0xF, Chip-16 controller bits 0-7 (Up,
    // Down, Left, Right, Select, Start, A, B). Any thread.
    virtual void setKey(unsigned key, bool down) = 0;
    virtual void releaseKeys() = 0;

    // The whole emulated state as a value. restoreState refuses (false, nothing
    // changes) a state of another machine kind; a restore tells the sound hook the
    // restored machine's sound, which replaces whatever played.
    virtual std::any takeState() const = 0;
    virtual bool restoreState(const std::any& state) = 0;
    // Memory a poke may address, and a write into it before the machine starts or
    // while it is paused.
    virtual std::uint32_t memorySize() const = 0;
    virtual void poke(std::uint32_t address, std::uint8_t value) = 0;

    // Registers, memory and pc, copied between two instructions.
    virtual MachineView view() const = 0;
    // The screen as text rows, with a first line that says what is shown: the last
    // presented frame's where the machine keeps it, else the screen buffer's.
    virtual std::string screenText() const = 0;
    // Machine-specific diagnostics (the unknown opcodes met, ...).
    virtual std::string statsText() const { return {}; }
    virtual std::uint64_t instructionsExecuted() const = 0;

    // Where the machine reports sound; set before start().
    virtual void setSoundHook(SoundHook hook) = 0;
    // The machine's own clock, as its sound events carry it: nanoseconds of emulated
    // time since its load. For a stopped or paused machine.
    virtual std::uint64_t emulatedNanoseconds() const = 0;
    // Skip the frames in which the last sprite drawn erased a pixel, so that a sprite
    // moved by erasing and drawing again does not flicker. Only CHIP-8 draws that way.
    virtual void setFlickerFilter(bool /*on*/) {}
};
