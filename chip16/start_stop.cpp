#include "chip16/start_stop.h"

#include "app/execute_step.h"
#include "chip16/chip16_machine.h"
#include "chip16/extended_set.h"
#include "chip16/rom_loader.h"
#include "display/display_dx16.h"
#include "workers/worker_thread.h"

#include <new>

void resetChip16(Chip16Machine& m) {
    m.cycles = 0.0;
    m.R.fill(0);
    m.vblank = 0;
    m.carry = 0;
    m.zero = 0;
    m.overflow = 0;
    m.negative = 0;

    m.pc = m.startAddress;
    m.sp = chip16InitialStackPointer;

    m.screen.fill(0);
    m.spriteWidth = 0;
    m.spriteHeight = 0;
    m.backgroundColour = 0;
    m.flipHorizontal = 0;
    m.flipVertical = 0;
    m.palette = chip16DefaultPalette;
    m.extendedInstructions = chip16ExtendedSetChosen();

    m.framesCompleted = 0;
    m.unknownOpcodeCounts.fill(0);
}

void startChip16(const std::string& path) {
    if (loadFreshChip16(path)) {
        startChip16Workers();
    }
}

bool loadFreshChip16(const std::string& path) {
    stopChip16();
    if (!loadChip16Rom(path.c_str(), 0)) {
        return false;
    }
    resetChip16(chip16);
    return true;
}

void startChip16Workers() {
    // The display exists before the first instruction runs; without one the run loop
    // simply shows nothing.
    chip16.display = createDisplayDx16();

    std::unique_ptr<WorkerThread> worker(new (std::nothrow) WorkerThread);
    if (worker) {
        createWorker(*worker, "tExecute", executeStep);
        chip16.executeWorker = std::move(worker);
    }
}

void stopChip16() {
    stopWorker(chip16.executeWorker);
    // The worker has finished, so nothing uses the display any more.
    chip16.display.reset();
}
