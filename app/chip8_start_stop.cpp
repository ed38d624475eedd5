#include "app/chip8_start_stop.h"

#include "app/execute_step.h"
#include "chip8/chip8_machine.h"
#include "chip8/reset_request.h"
#include "display/display_dx8.h"

void stopChip8() {
    stopWorker(chip8.executeWorker);
    // The machine that may have asked for a Reset is gone; the next one may ask again.
    clearChip8ResetRequest();
    stopWorker(chip8.renderWorker);
}

bool loadFreshChip8(const std::string& path) {
    stopChip8();
    if (!loadChip8Rom(chip8, chip8ProgramStart, path.c_str())) {
        return false;
    }
    resetChip8Machine(chip8);
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
