#include "chip8/start_stop.h"

#include "app/execute_step.h"
#include "chip8/chip8_machine.h"
#include "chip8/reset_request.h"
#include "display/display_dx8.h"

#include <new>

namespace {
std::unique_ptr<WorkerThread> makeWorker(const char* name, StepFunction step, StepFunction onStart,
                                         StepFunction onStop) {
    // Without memory for the record the machine runs without that worker.
    std::unique_ptr<WorkerThread> worker(new (std::nothrow) WorkerThread);
    if (worker) {
        createWorker(*worker, name, step, onStart, onStop);
    }
    return worker;
}
} // namespace

void stopChip8() {
    stopWorker(chip8.executeWorker);
    // The machine that may have asked for a Reset is gone; the next one may ask again.
    clearChip8ResetRequest();
    stopWorker(chip8.renderWorker);
}

void resetChip8Machine() {
    Chip8Machine& m = chip8;
    m.V.fill(0);
    m.I = 0;
    m.delayTimer = 0;
    m.soundTimer = 0;
    m.sp = 0;
    m.rplFlags.fill(0);
    m.delayTimerLastTick = 0;
    m.soundTimerLastTick = 0;
    m.pc = chip8ProgramStart;
    // No worker runs, so plain writes are enough.
    m.screen.fill(0);
    m.screenWidth = chip8ScreenWidth;
    m.screenHeight = chip8ScreenHeight;
    m.hiRes = 0;
}

bool loadFreshChip8(const std::string& path) {
    stopChip8();
    if (!loadChip8Rom(chip8ProgramStart, path.c_str())) {
        return false;
    }
    resetChip8Machine();
    return true;
}

void startChip8Workers() {
    // The display must exist before the first instruction, so "tRender" comes first.
    chip8.renderWorker = makeWorker("tRender", renderStep, renderStart, renderStop);
    chip8.executeWorker = makeWorker("tExecute", executeStep, nullptr, nullptr);
}

void startChip8(const std::string& path) {
    if (loadFreshChip8(path)) {
        startChip8Workers();
    }
}
