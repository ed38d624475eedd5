#pragma once
// A CHIP-8 machine with what runs it: the "tExecute" worker that steps it, the
// "tRender" worker that shows its screen, and the display.

#include "app/debug_watch.h"
#include "chip8/chip8_machine.h"
#include "machine/machine.h"
#include "machine/machine_display.h"
#include "workers/worker_thread.h"

#include <atomic>
#include <memory>
#include <vector>

class Chip8Runtime final : public Machine, private DebugWatch::Target {
  public:
    // `rotation`: degrees clockwise the picture is turned (0, 90, 180 or 270).
    explicit Chip8Runtime(const Chip8Rules& rules, std::uint16_t rotation = 0);
    ~Chip8Runtime() override;
    Chip8Runtime(const Chip8Runtime&) = delete;
    Chip8Runtime& operator=(const Chip8Runtime&) = delete;

    MachineKind kind() const override { return MachineKind::Chip8; }
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
    std::uint32_t memorySize() const override;
    void poke(std::uint32_t address, std::uint8_t value) override;
    MachineView view() const override;
    std::string screenText() const override;
    std::uint64_t instructionsExecuted() const override;
    void setSoundHook(SoundHook hook) override { machine_.soundHook = std::move(hook); }
    std::uint64_t emulatedNanoseconds() const override;
    void setFlickerFilter(bool on) override { flickerFilter_.store(on, std::memory_order_relaxed); }
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

    // The rules the next load() starts the machine with.
    void setRules(const Chip8Rules& rules) { rules_ = rules; }
    // The picture's rotation from the next start() on.
    void setRotation(std::uint16_t degrees) { rotation_ = degrees; }

    // The machine itself, its display and the "tRender" worker's callbacks, for tests
    // and tools that look closer than the interface.
    Chip8Machine& machine() { return machine_; }
    const Chip8Machine& machine() const { return machine_; }
    std::unique_ptr<MachineDisplay>& display() { return display_; }
    // Create the display (before the worker's first step), convert and present one frame
    // unless the flicker filter holds it back, destroy the display.
    void renderStart();
    void renderStep();
    void renderStop();

  private:
    void executeStep();
    std::uint32_t nextAddress() const override;
    InstructionText instructionAt(std::uint32_t address) const override;
    std::vector<RegisterValue> currentRegisters() const override;
    // With "tExecute" held: hand the machine the watch when it is wanted.
    void updateWatch();
    // With "tExecute" held, after steps or a batch: the stop the watch decided.
    StopReason takeStop();
    // The host clock's reading at which the machine's time stands while paused.
    std::uint64_t machineNow() const;
    // Runs `work` with "tExecute" held between two steps (or with no worker running).
    template <typename Work> void withExecuteHeld(Work work) const;

    // The flicker filter holds this frame back.
    bool flickerFilterHoldsBack() const;

    Chip8Rules rules_;
    std::uint16_t rotation_;
    // Frames the flicker filter held back since the last one shown; "tRender" only.
    std::uint32_t framesHeldBack_ = 0;
    std::vector<std::uint8_t> rom_;
    Chip8Machine machine_;
    std::unique_ptr<MachineDisplay> display_;
    std::unique_ptr<WorkerThread> renderWorker_;
    std::unique_ptr<WorkerThread> executeWorker_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> flickerFilter_{true};
    // When the pause began (nanoseconds since program start).
    std::uint64_t pausedAt_ = 0;
    DebugWatch watch_{*this};
    StopHook stopHook_;
    std::atomic<StopReason> lastStop_{StopReason::none};
};

// The Chip-8 screen as text: the 128 x 64 buffer in high resolution, the 64 x 32
// logical pixels (top-left cell of each 2 x 2 block) in low resolution; '.' dark, '#'
// lit, and under XO-CHIP rules '+' lit in plane 2 only and '@' in both planes.
std::string chip8ScreenText(const Chip8State& machine);

// The registers as a debugger shows them: V0-VF, I, PC, SP, the stack S0-SF, DT, ST,
// HIRES and, under XO-CHIP rules, PLANES and PITCH.
std::vector<RegisterValue> chip8Registers(const Chip8State& machine);
// Writes the register of that name, cut to its width; false for no such register.
bool setChip8Register(Chip8State& machine, const std::string& name, std::uint32_t value);
// The instruction at `address` of `memory` (the memory the rules address, wrapping).
InstructionText chip8InstructionAt(std::span<const std::uint8_t> memory, std::uint32_t address,
                                   const Chip8Rules& rules);
