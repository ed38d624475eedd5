#include "app/debug_watch.h"

bool DebugWatch::stopBefore() {
    const std::uint32_t address = target_.nextAddress();
    const StopReason reason =
        stops_.check(address, [this, address] { return target_.instructionAt(address); });
    if (reason != StopReason::none) {
        pending_ = reason;
        return true;
    }
    if (traceHook_) {
        traced_.address = address;
        traced_.instruction = target_.instructionAt(address);
        before_ = target_.currentRegisters();
    }
    return false;
}

void DebugWatch::after() {
    if (traceHook_) {
        traced_.changed = changedRegisters(before_, target_.currentRegisters());
        traceHook_(traced_);
    }
}
