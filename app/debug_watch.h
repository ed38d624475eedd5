#pragma once
// The watch a runtime hands its machine while a debugger wants anything checked or
// traced: decides the stops before each instruction and reports each one traced.

#include "machine/debugging.h"

#include <cstdint>
#include <vector>

class DebugWatch final : public InstructionWatch {
  public:
    // What the watch reads of its machine, on the thread that runs it.
    class Target {
      public:
        virtual ~Target() = default;
        // Where the next instruction is fetched from.
        virtual std::uint32_t nextAddress() const = 0;
        virtual InstructionText instructionAt(std::uint32_t address) const = 0;
        virtual std::vector<RegisterValue> currentRegisters() const = 0;
    };

    explicit DebugWatch(const Target& target) : target_(target) {}

    DebugStops& stops() { return stops_; }
    const DebugStops& stops() const { return stops_; }
    void setTraceHook(TraceHook hook) { traceHook_ = std::move(hook); }
    // Whether the machine needs the watch at all.
    bool wanted() const { return stops_.active() || static_cast<bool>(traceHook_); }
    // The stop decided since the last call, or none.
    StopReason takeStop() {
        const StopReason reason = pending_;
        pending_ = StopReason::none;
        return reason;
    }

    bool stopBefore() override;
    void after() override;

  private:
    const Target& target_;
    DebugStops stops_;
    TraceHook traceHook_;
    StopReason pending_ = StopReason::none;
    // The instruction under way and the registers before it, while tracing.
    TracedInstruction traced_;
    std::vector<RegisterValue> before_;
};
