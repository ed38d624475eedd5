#include "chip8/reset_request.h"

#include "chip8/chip8_machine.h"
#include "platform/command_ids.h"
#include "platform/host.h"

void requestChip8Reset(Chip8Machine& m) {
    if (!m.resetRequested.exchange(true, std::memory_order_acq_rel)) {
        postCommand(command::reset);
    }
}

void clearChip8ResetRequest(Chip8Machine& m) {
    m.resetRequested.store(false, std::memory_order_release);
}

bool chip8ResetPending(const Chip8Machine& m) {
    return m.resetRequested.load(std::memory_order_acquire);
}
