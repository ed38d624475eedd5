#include "app/chip8_runtime.h"

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
    withExecuteHeld([this] { stepChip8Instruction(machine_, machineNow()); });
}

void Chip8Runtime::stepFrame() {
    withExecuteHeld([this] { stepChip8Frame(machine_, machineNow()); });
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
        static_cast<Chip8State&>(machine_) = *restored;
        // The restored timers start their real-time timing afresh.
        machine_.delayTimerLastTick = 0;
        machine_.soundTimerLastTick = 0;
        machine_.lastTickStart = 0;
    });
    return true;
}

std::uint32_t Chip8Runtime::memorySize() const {
    return chip8MemoryBytes(machine_.rules);
}

void Chip8Runtime::poke(std::uint32_t address, std::uint8_t value) {
    machine_.memory[address & machine_.rules.addressMask] = value;
}

MachineView Chip8Runtime::view() const {
    MachineView view;
    withExecuteHeld([this, &view] {
        const Chip8Machine& m = machine_;
        char name[8];
        for (unsigned i = 0; i < 16; ++i) {
            std::snprintf(name, sizeof name, "V%X", i);
            view.registers.push_back({name, m.V[i], 2});
        }
        view.registers.push_back({"I", m.I, 4});
        view.registers.push_back({"PC", m.pc, 4});
        view.registers.push_back({"SP", m.sp, 1});
        for (unsigned i = 0; i < 16; ++i) {
            std::snprintf(name, sizeof name, "S%X", i);
            view.registers.push_back({name, m.stack[i], 4});
        }
        view.registers.push_back({"DT", m.delayTimer, 2});
        view.registers.push_back({"ST", m.soundTimer, 2});
        view.registers.push_back({"HIRES", m.hiRes, 1});
        if (m.rules.xoChipInstructions) {
            view.registers.push_back({"PLANES", m.planes, 1});
            view.registers.push_back({"PITCH", m.pitch, 2});
        }
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
