#pragma once
// Access to the CHIP-8 screen buffer that both workers may use at the same time.
// "tExecute" clears and scrolls the buffer without holding the "tRender" mutex while
// "tRender" converts it, so every access is a relaxed atomic one: a frame may show a
// scroll half done, but no byte is ever read while it is torn.

#include "chip8/chip8_machine.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

inline std::uint8_t readScreenCell(const Chip8Machine& machine, std::size_t index) {
    // The record is never const itself; atomic_ref only needs a non-const reference.
    auto& cell = const_cast<std::uint8_t&>(machine.screen[index]);
    return std::atomic_ref<std::uint8_t>(cell).load(std::memory_order_relaxed);
}

inline void writeScreenCell(Chip8Machine& machine, std::size_t index, std::uint8_t value) {
    std::atomic_ref<std::uint8_t>(machine.screen[index]).store(value, std::memory_order_relaxed);
}
