#pragma once
// A Chip-16 machine with what runs it: the "tExecute" worker that steps it and shows
// its frames, and the display.

#include "app/debug_watch.h"
#include "chip16/chip16_machine.h"
#include "machine/machine.h"
#include "workers/worker_thread.h"

#include <atomic>
#include <memory>
#include <vector>

class Chip16Runtime final : public Machine, private DebugWatch::Target {
  public:
    explicit Chip16Runtime(bool extendedInstructions);
    ~Chip16Runtime() override;
    Chip16Runtime(const Chip16Runtime&) = delete;
    Chip16Runtime& operator=(const Chip16Runtime&) = delete;

    MachineKind kind() const override { return MachineKind::Chip16; }
    void load(std::span<const std::uint8_t> rom) override;
    void start() override;
    void stop() override;
    void reset() override;
    bool running() const override { return executeWorker_ != nullptr; }
    void pause() override;
    void resume() override;
    bool paused() const override { return paused_.load(std::memory_order_acquire); }
    void stepInstruction() override;
    void stepFrame() override;
    void setKey(unsigned key, bool down) override;
    void releaseKeys() override { machine_.keys.releaseAll(); }
    std::any takeState() const override;
    bool restoreState(const std::any& state) override;
    std::uint32_t memorySize() const override { return chip16MemorySize; }
    void poke(std::uint32_t address, std::uint8_t value) override;
    MachineView view() const override;
    std::string screenText() const override;
    std::string statsText() const override;
    std::uint64_t instructionsExecuted() const override;
    void setSoundHook(SoundHook hook) override { machine_.soundHook = std::move(hook); }
    std::uint64_t emulatedNanoseconds() const override;
    void setBreakpoint(std::uint32_t address, bool on) override;
    std::vector<std::uint32_t> breakpoints() const override;
    void setStopChoices(const StopChoices& choices) override;
    StopReason lastStop() const override { return lastStop_.load(std::memory_order_acquire); }
    void setStopHook(StopHook hook) override { stopHook_ = std::move(hook); }
    void setTraceHook(TraceHook hook) override;
    bool setRegister(const std::string& name, std::uint32_t value) override;
    std::vector<RegisterValue> registers() const override;
    InstructionText disassemble(std::span<const std::uint8_t> memory,
                                std::uint32_t address) const override;

    Chip16Machine& machine() { return machine_; }
    const Chip16Machine& machine() const { return machine_; }

  private:
    void executeStep();
    std::uint32_t nextAddress() const override { return machine_.pc; }
    InstructionText instructionAt(std::uint32_t address) const override;
    std::vector<RegisterValue> currentRegisters() const override;
    void updateWatch();
    StopReason takeStop();
    template <typename Work> void withExecuteHeld(Work work) const;

    bool extendedInstructions_;
    std::vector<std::uint8_t> rom_;
    Chip16Machine machine_;
    std::unique_ptr<MachineDisplay> display_;
    // Written by the worker as each frame is converted; only its screen and background
    // are used.
    std::unique_ptr<Chip16State> presented_ = std::make_unique<Chip16State>();
    bool anyPresented_ = false;
    std::unique_ptr<WorkerThread> executeWorker_;
    std::atomic<bool> paused_{false};
    DebugWatch watch_{*this};
    StopHook stopHook_;
    std::atomic<StopReason> lastStop_{StopReason::none};
};

// The Chip-16 screen as 240 rows of 320 hex colour digits ('0' shows the background).
std::string chip16ScreenText(const Chip16State& machine);
// The registers as a debugger shows them: R0-RF, PC, SP, the flags C, Z, O and N, the
// sprite size SPRW x SPRH, the flips HFLIP and VFLIP and the background colour BG.
std::vector<RegisterValue> chip16Registers(const Chip16State& machine);
// Writes the register of that name, cut to its width; false for no such register.
bool setChip16Register(Chip16State& machine, const std::string& name, std::uint32_t value);
// The instruction at `address` of the 64 KiB `memory` (wrapping).
InstructionText chip16InstructionAt(std::span<const std::uint8_t> memory, std::uint32_t address,
                                    bool extended);
// Every unknown opcode the Chip-16 machine met since it started, with its count.
std::string chip16UnknownOpcodeText(const Chip16Machine& machine);
