#include "app/chip8_runtime.h"

#include "chip8/disassembler.h"
#include "chip8/interpreter.h"
#include "chip8/reset_request.h"
#include "chip8/screen_cells.h"
#include "display/chip8_display.h"
#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <thread>

namespace {
// How long a paused worker's step sleeps before it looks again.
constexpr auto pausedPoll = std::chrono::milliseconds(5);

void moveOn(std::uint64_t& timestamp, std::uint64_t by) {
    if (timestamp != 0) {
        timestamp += by;
    }
}
} // namespace

Chip8Runtime::Chip8Runtime(const Chip8Rules& rules, std::uint16_t rotation)
    : rules_(rules), rotation_(rotation) {
    machine_.rules = rules;
}

Chip8Runtime::~Chip8Runtime() {
    stop();
}

void Chip8Runtime::load(std::span<const std::uint8_t> rom) {
    stop();
    rom_.assign(rom.begin(), rom.end());
    machine_.rules = rules_;
    loadChip8Rom(machine_, rom_);
    resetChip8Machine(machine_);
    machine_.clockOffset = elapsedNanoseconds();
    paused_.store(false, std::memory_order_release);
    // A breakpoint on the first instruction stops before it.
    watch_.stops().checkNext();
    watch_.takeStop();
    lastStop_.store(StopReason::none, std::memory_order_release);
    updateWatch();
}

void Chip8Runtime::start() {
    if (running()) {
        return;
    }
    if (paused()) {
        pausedAt_ = elapsedNanoseconds();
    }
    // The display must exist before the first instruction, so "tRender" comes first.
    renderWorker_ = makeWorker(
        "tRender", [this] { renderStep(); }, [this] { renderStart(); }, [this] { renderStop(); });
    machine_.renderWorker = renderWorker_.get();
    executeWorker_ = makeWorker("tExecute", [this] { executeStep(); });
    if (executeWorker_ && paused()) {
        executeWorker_->yieldRequested.store(true, std::memory_order_release);
    }
}

void Chip8Runtime::stop() {
    stopWorker(executeWorker_);
    // The machine that may have asked for a Reset is gone; the next one may ask again.
    clearChip8ResetRequest(machine_);
    stopWorker(renderWorker_);
    machine_.renderWorker = nullptr;
}

std::uint64_t Chip8Runtime::emulatedNanoseconds() const {
    return chip8EmulatedTime(machine_);
}

void Chip8Runtime::reset() {
    const bool wasRunning = running();
    const std::vector<std::uint8_t> rom = rom_;
    load(rom);
    if (wasRunning) {
        start();
    }
}

template <typename Work> void Chip8Runtime::withExecuteHeld(Work work) const {
    WorkerThread* const worker = executeWorker_.get();
    lockFromOutside(worker);
    work();
    unlockFromOutside(worker);
}

void Chip8Runtime::pause() {
    if (paused()) {
        return;
    }
    if (executeWorker_) {
        executeWorker_->yieldRequested.store(true, std::memory_order_release);
    }
    withExecuteHeld([this] {
        paused_.store(true, std::memory_order_release);
        pausedAt_ = elapsedNanoseconds();
    });
}

void Chip8Runtime::resume() {
    if (!paused()) {
        return;
    }
    withExecuteHeld([this] {
        // The machine's time stood still: everything timed against the host clock moves
        // on by the pause.
        const std::uint64_t pausedFor = elapsedNanoseconds() - pausedAt_;
        moveOn(machine_.delayTimerLastTick, pausedFor);
        moveOn(machine_.soundTimerLastTick, pausedFor);
        moveOn(machine_.lastTickStart, pausedFor);
        machine_.clockOffset += pausedFor;
        // Continue leaves the instruction the machine stopped before.
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        paused_.store(false, std::memory_order_release);
        if (executeWorker_) {
            executeWorker_->yieldRequested.store(false, std::memory_order_release);
        }
    });
}

std::uint64_t Chip8Runtime::machineNow() const {
    return paused() ? pausedAt_ : elapsedNanoseconds();
}

void Chip8Runtime::stepInstruction() {
    withExecuteHeld([this] {
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        stepChip8Instruction(machine_, machineNow());
        watch_.stops().checkNext();
        takeStop();
    });
}

void Chip8Runtime::stepFrame() {
    withExecuteHeld([this] {
        watch_.stops().passNext();
        lastStop_.store(StopReason::none, std::memory_order_release);
        stepChip8Frame(machine_, machineNow());
        watch_.stops().checkNext();
        takeStop();
    });
}

void Chip8Runtime::updateWatch() {
    machine_.watch = watch_.wanted() ? &watch_ : nullptr;
}

StopReason Chip8Runtime::takeStop() {
    const StopReason reason = watch_.takeStop();
    if (reason != StopReason::none) {
        lastStop_.store(reason, std::memory_order_release);
    }
    return reason;
}

void Chip8Runtime::setBreakpoint(std::uint32_t address, bool on) {
    withExecuteHeld([this, address, on] {
        watch_.stops().setBreakpoint(address & machine_.rules.addressMask, on);
        if (!paused()) {
            watch_.stops().checkNext();
        }
        updateWatch();
    });
}

std::vector<std::uint32_t> Chip8Runtime::breakpoints() const {
    std::vector<std::uint32_t> addresses;
    withExecuteHeld([this, &addresses] { addresses = watch_.stops().breakpoints(); });
    return addresses;
}

void Chip8Runtime::setStopChoices(const StopChoices& choices) {
    withExecuteHeld([this, &choices] {
        watch_.stops().setChoices(choices);
        if (!paused()) {
            watch_.stops().checkNext();
        }
        updateWatch();
    });
}

void Chip8Runtime::setTraceHook(TraceHook hook) {
    withExecuteHeld([this, &hook] {
        watch_.setTraceHook(std::move(hook));
        updateWatch();
    });
}

bool Chip8Runtime::setRegister(const std::string& name, std::uint32_t value) {
    bool written = false;
    withExecuteHeld(
        [this, &name, value, &written] { written = setChip8Register(machine_, name, value); });
    return written;
}

std::vector<RegisterValue> Chip8Runtime::registers() const {
    std::vector<RegisterValue> values;
    withExecuteHeld([this, &values] { values = chip8Registers(machine_); });
    return values;
}

InstructionText Chip8Runtime::disassemble(std::span<const std::uint8_t> memory,
                                          std::uint32_t address) const {
    return chip8InstructionAt(memory, address, machine_.rules);
}

std::uint32_t Chip8Runtime::nextAddress() const {
    return machine_.pc & machine_.rules.addressMask;
}

InstructionText Chip8Runtime::instructionAt(std::uint32_t address) const {
    return chip8InstructionAt(
        std::span<const std::uint8_t>(machine_.memory.data(), chip8MemoryBytes(machine_.rules)),
        address, machine_.rules);
}

std::vector<RegisterValue> Chip8Runtime::currentRegisters() const {
    return chip8Registers(machine_);
}

void Chip8Runtime::setKey(unsigned key, bool down) {
    if (key < 16) {
        machine_.keys.set(key, down);
    }
}

std::any Chip8Runtime::takeState() const {
    Chip8State state;
    withExecuteHeld([this, &state] { state = static_cast<const Chip8State&>(machine_); });
    return state;
}

bool Chip8Runtime::restoreState(const std::any& state) {
    const auto* restored = std::any_cast<Chip8State>(&state);
    if (restored == nullptr) {
        return false;
    }
    withExecuteHeld([this, restored] {
        // "tRender" reads the screen between its own steps: it is held as well, after
        // "tExecute", in the order a draw takes them.
        lockFromOutside(renderWorker_.get());
        static_cast<Chip8State&>(machine_) = *restored;
        unlockFromOutside(renderWorker_.get());
        // The restored timers start their real-time timing afresh.
        machine_.delayTimerLastTick = 0;
        machine_.soundTimerLastTick = 0;
        machine_.lastTickStart = 0;
        reportChip8SoundState(machine_);
    });
    return true;
}

std::uint32_t Chip8Runtime::memorySize() const {
    return chip8MemoryBytes(machine_.rules);
}

void Chip8Runtime::poke(std::uint32_t address, std::uint8_t value) {
    withExecuteHeld(
        [this, address, value] { machine_.memory[address & machine_.rules.addressMask] = value; });
}

MachineView Chip8Runtime::view() const {
    MachineView view;
    withExecuteHeld([this, &view] {
        const Chip8Machine& m = machine_;
        view.registers = chip8Registers(m);
        view.pc = m.pc;
        view.memory.assign(m.memory.begin(), m.memory.begin() + chip8MemoryBytes(m.rules));
        view.instructionsExecuted = chip8InstructionsExecuted(m);
    });
    return view;
}

std::string Chip8Runtime::screenText() const {
    return chip8ScreenText(machine_);
}

std::uint64_t Chip8Runtime::instructionsExecuted() const {
    return chip8InstructionsExecuted(machine_);
}

void Chip8Runtime::executeStep() {
    if (paused()) {
        std::this_thread::sleep_for(pausedPoll);
        return;
    }
    runChip8Batch(machine_);
    if (const StopReason reason = takeStop(); reason != StopReason::none) {
        // Paused as pause() would, by the worker that holds its own mutex.
        pausedAt_ = elapsedNanoseconds();
        paused_.store(true, std::memory_order_release);
        if (stopHook_) {
            stopHook_(reason);
        }
    }
}

void Chip8Runtime::renderStart() {
    framesHeldBack_ = 0;
    display_.reset(new (std::nothrow) Chip8Display(machine_, rotation_));
}

// The filter holds back a frame whose last draw erased a pixel. Under paced rules a
// program may draw and erase within every tick, so every frame would be held back and
// the window would never show the screen: there it holds back one frame in a row at
// most.
bool Chip8Runtime::flickerFilterHoldsBack() const {
    if (!flickerFilter_.load(std::memory_order_relaxed) || machine_.eraseFlag == 0) {
        return false;
    }
    return machine_.rules.instructionsPerTick == 0 || framesHeldBack_ == 0;
}

void Chip8Runtime::renderStep() {
    if (flickerFilterHoldsBack()) {
        ++framesHeldBack_;
        // Under paced rules the held-back frame's refresh passes with the shown frame up,
        // so the next tick can put right what this one left erased.
        const auto* display = dynamic_cast<const Chip8Display*>(display_.get());
        if (machine_.rules.instructionsPerTick != 0 && display != nullptr) {
            display->skipRefresh();
        }
        return;
    }
    framesHeldBack_ = 0;
    if (display_) {
        display_->convert();
        display_->present();
    }
}

void Chip8Runtime::renderStop() {
    display_.reset();
}

std::string chip8ScreenText(const Chip8State& machine) {
    const bool high = machine.hiRes != 0;
    const std::uint32_t scale = high ? 1 : 2;
    const std::uint32_t columns = chip8ScreenWidth / scale;
    const std::uint32_t rows = chip8ScreenHeight / scale;
    std::string text = high ? "chip-8 screen: 128x64 buffer pixels (high resolution)"
                            : "chip-8 screen: 64x32 logical pixels (low resolution)";
    text += machine.rules.xoChipInstructions ? ", # plane 1, + plane 2, @ both\n" : "\n";
    static constexpr char looks[] = {'.', '#', '+', '@'};
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::size_t index = std::size_t{y * scale} * chip8ScreenWidth + x * scale;
            text += looks[readScreenCell(machine, index) & 3u];
        }
        text += '\n';
    }
    return text;
}

std::vector<RegisterValue> chip8Registers(const Chip8State& m) {
    std::vector<RegisterValue> registers;
    registers.reserve(44);
    char name[8];
    for (unsigned i = 0; i < 16; ++i) {
        std::snprintf(name, sizeof name, "V%X", i);
        registers.push_back({name, m.V[i], 2});
    }
    registers.push_back({"I", m.I, 4});
    registers.push_back({"PC", m.pc, 4});
    registers.push_back({"SP", m.sp, 1});
    for (unsigned i = 0; i < 16; ++i) {
        std::snprintf(name, sizeof name, "S%X", i);
        registers.push_back({name, m.stack[i], 4});
    }
    registers.push_back({"DT", m.delayTimer, 2});
    registers.push_back({"ST", m.soundTimer, 2});
    registers.push_back({"HIRES", m.hiRes, 1});
    if (m.rules.xoChipInstructions) {
        registers.push_back({"PLANES", m.planes, 1});
        registers.push_back({"PITCH", m.pitch, 2});
    }
    return registers;
}

namespace {
// The index of a register named by a letter and one hex digit (V0-VF, S0-SF).
int indexedRegister(const std::string& name, char letter) {
    if (name.size() != 2 || name[0] != letter) {
        return -1;
    }
    const char digit = name[1];
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    return digit >= 'A' && digit <= 'F' ? digit - 'A' + 10 : -1;
}
} // namespace

bool setChip8Register(Chip8State& m, const std::string& name, std::uint32_t value) {
    const auto byte = static_cast<std::uint8_t>(value);
    const auto word = static_cast<std::uint16_t>(value);
    if (const int v = indexedRegister(name, 'V'); v >= 0) {
        m.V[static_cast<std::size_t>(v)] = byte;
    } else if (const int s = indexedRegister(name, 'S'); s >= 0) {
        m.stack[static_cast<std::size_t>(s)] = word;
    } else if (name == "I") {
        m.I = word;
    } else if (name == "PC") {
        m.pc = word;
    } else if (name == "SP") {
        m.sp = value & 0xF;
    } else if (name == "DT") {
        m.delayTimer = byte;
    } else if (name == "ST") {
        m.soundTimer = byte;
    } else if (name == "HIRES") {
        m.hiRes = value != 0 ? 1 : 0;
    } else if (name == "PLANES" && m.rules.xoChipInstructions) {
        m.planes = value & 3;
    } else if (name == "PITCH" && m.rules.xoChipInstructions) {
        m.pitch = byte;
    } else {
        return false;
    }
    return true;
}

InstructionText chip8InstructionAt(std::span<const std::uint8_t> memory, std::uint32_t address,
                                   const Chip8Rules& rules) {
    InstructionText instruction;
    if (memory.empty()) {
        return instruction;
    }
    const auto at = [&memory](std::uint32_t a) { return memory[a % memory.size()]; };
    const auto opcode = static_cast<std::uint16_t>(at(address) << 8 | at(address + 1));
    const auto next = static_cast<std::uint16_t>(at(address + 2) << 8 | at(address + 3));
    Chip8Disassembly d = disassembleChip8(opcode, next, rules);
    instruction.text = std::move(d.text);
    instruction.known = d.known;
    instruction.exits = opcode == chip8ExitOpcode;
    for (std::uint32_t i = 0; i < d.length; ++i) {
        instruction.bytes.push_back(at(address + i));
    }
    return instruction;
}
