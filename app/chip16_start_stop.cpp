#include "app/chip16_start_stop.h"

#include "app/execute_step.h"
#include "chip16/chip16_machine.h"
#include "chip16/extended_set.h"
#include "chip16/rom_loader.h"
#include "display/display_dx16.h"
#include "workers/worker_thread.h"

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

    chip16.executeWorker = makeWorker("tExecute", executeStep);
}

void stopChip16() {
    stopWorker(chip16.executeWorker);
    // The worker has finished, so nothing uses the display any more.
    chip16.display.reset();
}
