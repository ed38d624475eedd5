#include "chip8/reset_request.h"

#include "platform/command_ids.h"
#include "platform/host.h"

#include <atomic>

namespace {
std::atomic<bool> resetPending{false};
}

void requestChip8Reset() {
    if (!resetPending.exchange(true, std::memory_order_acq_rel)) {
        postCommand(command::reset);
    }
}

void clearChip8ResetRequest() {
    resetPending.store(false, std::memory_order_release);
}

bool chip8ResetPending() {
    return resetPending.load(std::memory_order_acquire);
}
