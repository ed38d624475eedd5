#include "app/chip16_runtime.h"

#include "chip16/disassembler.h"
#include "chip16/rom_loader.h"
#include "chip16/run_loop.h"
#include "chip16/sound.h"
#include "display/chip16_display.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
// How long a paused worker's step sleeps before it looks again.
constexpr auto pausedPoll = std::chrono::milliseconds(5);

// The display, keeping the screen each frame is converted from: the frame presented,
// which the program may clear or half redraw before the machine stops.
class PresentedScreenKeeper final : public MachineDisplay {
  public:
    PresentedScreenKeeper(std::unique_ptr<MachineDisplay> display, const Chip16State& machine,
                          Chip16State& presented, bool& anyPresented)
        : display_(std::move(display)), machine_(machine), presented_(presented),
          anyPresented_(anyPresented) {}

    void convert() override {
        presented_.screen = machine_.screen;
        presented_.backgroundColour = machine_.backgroundColour;
        anyPresented_ = true;
        display_->convert();
    }
    void present() override { display_->present(); }

  private:
    std::unique_ptr<MachineDisplay> display_;
    const Chip16State& machine_;
    Chip16State& presented_;
    bool& anyPresented_;
};
} // namespace

Chip16Runtime::Chip16Runtime(bool extendedInstructions)
    : extendedInstructions_(extendedInstructions) {
    machine_.extendedInstructions = extendedInstructions;
}

Chip16Runtime::~Chip16Runtime() {
    stop();
}

void Chip16Runtime::load(std::span<const std::uint8_t> rom) {
    stop();
    rom_.assign(rom.begin(), rom.end());
    loadChip16Rom(machine_, rom_);
    machine_.extendedInstructions = extendedInstructions_;
    resetChip16(machine_);
    anyPresented_ = false;
    paused_.store(false, std::memory_order_release);
    // A breakpoint on the first instruction stops before it.
    watch_.stops().checkNext();
    watch_.takeStop();
    lastStop_.store(StopReason::none, std::memory_order_release);
    updateWatch();
}

void Chip16Runtime::start() {
    if (running()) {
        return;
    }
    // The display exists before the first instruction runs; without one the run loop
    // simply shows nothing.
    if (std::unique_ptr<MachineDisplay> display = createChip16Display(machine_)) {
        display_ = std::make_unique<PresentedScreenKeeper>(std::move(display), machine_,
                                                           *presented_, anyPresented_);
    }
    machine_.display = display_.get();
    executeWorker_ = makeWorker("tExecute", [this] { executeStep(); });
    if (executeWorker_ && paused()) {
        executeWorker_->yieldRequested.store(true, std::memory_order_release);
    }
}

void Chip16Runtime::stop() {
    stopWorker(executeWorker_);
    // The worker has finished, so nothing uses the display any more.
    machine_.display = nullptr;
    display_.reset();
}

std::uint64_t Chip16Runtime::emulatedNanoseconds() const {
    return chip16EmulatedTime(machine_);
}

void Chip16Runtime::reset() {
    const bool wasRunning = running();
    const std::vector<std::uint8_t> rom = rom_;
    load(rom);
    if (wasRunning) {
        start();
    }
}

template <typename Work> void Chip16Runtime::withExecuteHeld(Work work) const {
    WorkerThread* const worker = executeWorker_.get();
    lockFromOutside(worker);
    work();
    unlockFromOutside(worker);
}

void Chip16Runtime::pause() {
    if (paused()) {
        return;
    }
    if (executeWorker_) {
        executeWorker_->yieldRequested.store(true, std::memory_order_release);
    }
    // The frame clock is the instruction count, which stands still with the worker.
    withExecuteHeld([this] { paused_.store(true, std::memory_order_release); });
}

void Chip16Runtime::resume() {
    if (!paused()) {
        return;
    }
    withExecuteHeld([this] {
        // Continue leaves the instruction the machine stopped before.
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        paused_.store(false, std::memory_order_release);
        if (executeWorker_) {
            executeWorker_->yieldRequested.store(false, std::memory_order_release);
        }
    });
}

void Chip16Runtime::stepInstruction() {
    withExecuteHeld([this] {
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        stepChip16Instruction(machine_);
        watch_.stops().checkNext();
        takeStop();
    });
}

void Chip16Runtime::stepFrame() {
    withExecuteHeld([this] {
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        stepChip16Frame(machine_);
        watch_.stops().checkNext();
        takeStop();
    });
}

void Chip16Runtime::updateWatch() {
    machine_.watch = watch_.wanted() ? &watch_ : nullptr;
}

StopReason Chip16Runtime::takeStop() {
    const StopReason reason = watch_.takeStop();
    if (reason != StopReason::none) {
        lastStop_.store(reason, std::memory_order_release);
    }
    return reason;
}

void Chip16Runtime::setBreakpoint(std::uint32_t address, bool on) {
    withExecuteHeld([this, address, on] {
        watch_.stops().setBreakpoint(address % chip16MemorySize, on);
        if (!paused()) {
            watch_.stops().checkNext();
        }
        updateWatch();
    });
}

std::vector<std::uint32_t> Chip16Runtime::breakpoints() const {
    std::vector<std::uint32_t> addresses;
    withExecuteHeld([this, &addresses] { addresses = watch_.stops().breakpoints(); });
    return addresses;
}

void Chip16Runtime::setStopChoices(const StopChoices& choices) {
    withExecuteHeld([this, &choices] {
        watch_.stops().setChoices(choices);
        if (!paused()) {
            watch_.stops().checkNext();
        }
        updateWatch();
    });
}

void Chip16Runtime::setTraceHook(TraceHook hook) {
    withExecuteHeld([this, &hook] {
        watch_.setTraceHook(std::move(hook));
        updateWatch();
    });
}

bool Chip16Runtime::setRegister(const std::string& name, std::uint32_t value) {
    bool written = false;
    withExecuteHeld(
        [this, &name, value, &written] { written = setChip16Register(machine_, name, value); });
    return written;
}

std::vector<RegisterValue> Chip16Runtime::registers() const {
    std::vector<RegisterValue> values;
    withExecuteHeld([this, &values] { values = chip16Registers(machine_); });
    return values;
}

InstructionText Chip16Runtime::disassemble(std::span<const std::uint8_t> memory,
                                           std::uint32_t address) const {
    return chip16InstructionAt(memory, address, extendedInstructions_);
}

InstructionText Chip16Runtime::instructionAt(std::uint32_t address) const {
    return chip16InstructionAt(machine_.memory, address, machine_.extendedInstructions);
}

std::vector<RegisterValue> Chip16Runtime::currentRegisters() const {
    return chip16Registers(machine_);
}

void Chip16Runtime::setKey(unsigned key, bool down) {
    if (key < 8) {
        machine_.keys.set(key, down);
    }
}

std::any Chip16Runtime::takeState() const {
    Chip16State state;
    withExecuteHeld([this, &state] { state = static_cast<const Chip16State&>(machine_); });
    return state;
}

bool Chip16Runtime::restoreState(const std::any& state) {
    const auto* restored = std::any_cast<Chip16State>(&state);
    if (restored == nullptr) {
        return false;
    }
    withExecuteHeld([this, restored] {
        static_cast<Chip16State&>(machine_) = *restored;
        reportChip16SoundState(machine_);
    });
    return true;
}

void Chip16Runtime::poke(std::uint32_t address, std::uint8_t value) {
    withExecuteHeld(
        [this, address, value] { machine_.memory[address % chip16MemorySize] = value; });
}

MachineView Chip16Runtime::view() const {
    MachineView view;
    withExecuteHeld([this, &view] {
        const Chip16Machine& m = machine_;
        view.registers = chip16Registers(m);
        view.pc = m.pc;
        view.memory.assign(m.memory.begin(), m.memory.end());
        view.instructionsExecuted = chip16InstructionsExecuted(m);
    });
    return view;
}

std::string Chip16Runtime::screenText() const {
    // The presented frame, as a screenshot shows it, not the buffer the program may have
    // cleared since.
    return chip16ScreenText(anyPresented_ ? *presented_
                                          : static_cast<const Chip16State&>(machine_));
}

std::string Chip16Runtime::statsText() const {
    return chip16UnknownOpcodeText(machine_);
}

std::uint64_t Chip16Runtime::instructionsExecuted() const {
    return chip16InstructionsExecuted(machine_);
}

void Chip16Runtime::executeStep() {
    if (paused()) {
        std::this_thread::sleep_for(pausedPoll);
        return;
    }
    runChip16Batch(machine_);
    if (const StopReason reason = takeStop(); reason != StopReason::none) {
        // Paused as pause() would; the frame clock stands with the worker.
        paused_.store(true, std::memory_order_release);
        if (stopHook_) {
            stopHook_(reason);
        }
    }
}

std::string chip16ScreenText(const Chip16State& machine) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "chip-16 screen: 320x240 colour indices (hex), background ";
    text += digits[machine.backgroundColour & 0xF];
    text += '\n';
    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        for (std::uint32_t x = 0; x < chip16ScreenWidth; ++x) {
            text += digits[machine.screen[y * chip16ScreenWidth + x] & 0xF];
        }
        text += '\n';
    }
    return text;
}

std::string chip16UnknownOpcodeText(const Chip16Machine& machine) {
    std::string text;
    char line[64];
    for (std::size_t opcode = 0; opcode < machine.unknownOpcodeCounts.size(); ++opcode) {
        if (machine.unknownOpcodeCounts[opcode] != 0) {
            std::snprintf(line, sizeof line, "unknown opcode 0x%02zx: %llu times\n", opcode,
                          static_cast<unsigned long long>(machine.unknownOpcodeCounts[opcode]));
            text += line;
        }
    }
    return text.empty() ? "unknown opcodes: none\n" : text;
}

std::vector<RegisterValue> chip16Registers(const Chip16State& m) {
    std::vector<RegisterValue> registers;
    registers.reserve(27);
    char name[8];
    for (unsigned i = 0; i < 16; ++i) {
        std::snprintf(name, sizeof name, "R%X", i);
        registers.push_back({name, m.R[i], 4});
    }
    registers.push_back({"PC", m.pc, 4});
    registers.push_back({"SP", m.sp, 4});
    registers.push_back({"C", m.carry, 1});
    registers.push_back({"Z", m.zero, 1});
    registers.push_back({"O", m.overflow, 1});
    registers.push_back({"N", m.negative, 1});
    registers.push_back({"SPRW", static_cast<std::uint32_t>(m.spriteWidth), 2});
    registers.push_back({"SPRH", static_cast<std::uint32_t>(m.spriteHeight), 2});
    registers.push_back({"HFLIP", m.flipHorizontal, 1});
    registers.push_back({"VFLIP", m.flipVertical, 1});
    registers.push_back({"BG", m.backgroundColour, 1});
    return registers;
}

bool setChip16Register(Chip16State& m, const std::string& name, std::uint32_t value) {
    const auto word = static_cast<std::uint16_t>(value);
    const auto bit = static_cast<std::uint8_t>(value != 0 ? 1 : 0);
    if (name.size() == 2 && name[0] == 'R') {
        const char digit = name[1];
        const int index = digit >= '0' && digit <= '9'   ? digit - '0'
                          : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                         : -1;
        if (index < 0) {
            return false;
        }
        m.R[static_cast<std::size_t>(index)] = word;
    } else if (name == "PC") {
        m.pc = word;
    } else if (name == "SP") {
        m.sp = word;
    } else if (name == "C") {
        m.carry = bit;
    } else if (name == "Z") {
        m.zero = bit;
    } else if (name == "O") {
        m.overflow = bit;
    } else if (name == "N") {
        m.negative = bit;
    } else if (name == "SPRW") {
        m.spriteWidth = static_cast<std::int32_t>(value & 0xFF);
    } else if (name == "SPRH") {
        m.spriteHeight = static_cast<std::int32_t>(value & 0xFF);
    } else if (name == "HFLIP") {
        m.flipHorizontal = bit;
    } else if (name == "VFLIP") {
        m.flipVertical = bit;
    } else if (name == "BG") {
        m.backgroundColour = value & 0xF;
    } else {
        return false;
    }
    return true;
}

InstructionText chip16InstructionAt(std::span<const std::uint8_t> memory, std::uint32_t address,
                                    bool extended) {
    InstructionText instruction;
    if (memory.empty()) {
        return instruction;
    }
    std::array<std::uint8_t, 4> bytes{};
    for (std::uint32_t i = 0; i < 4; ++i) {
        bytes[i] = memory[(address + i) % memory.size()];
    }
    Chip16Disassembly d = disassembleChip16(bytes, extended);
    instruction.text = std::move(d.text);
    instruction.known = d.known;
    instruction.bytes.assign(bytes.begin(), bytes.end());
    return instruction;
}
