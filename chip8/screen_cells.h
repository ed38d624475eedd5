#pragma once
// Access to the CHIP-8 screen buffer that both workers may use at the same time.
// "tExecute" clears and scrolls the buffer without holding the "tRender" mutex while
// "tRender" converts it, so every write is atomic for each cell it touches and every
// read on "tRender" is a relaxed atomic one: a frame may show a scroll half done, but
// no cell is ever read while it is torn. Only "tExecute" writes the buffer, so its own
// reads race with nothing and may be plain. Clears and scrolls write blocks of up to
// 64 cells at a time (screen_moves.cpp).

#include "chip8/chip8_machine.h"

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

inline std::uint8_t readScreenCell(const Chip8State& machine, std::size_t index) {
    // The record is never const itself; atomic_ref only needs a non-const reference.
    auto& cell = const_cast<std::uint8_t&>(machine.screen[index]);
    return std::atomic_ref<std::uint8_t>(cell).load(std::memory_order_relaxed);
}

inline void writeScreenCell(Chip8State& machine, std::size_t index, std::uint8_t value) {
    std::atomic_ref<std::uint8_t>(machine.screen[index]).store(value, std::memory_order_relaxed);
}

// Eight neighbouring cells, the first at 8 * wordIndex, as one word: cell k of the word
// is its byte k (counting from the least significant) on this little-endian host.
constexpr std::size_t screenWordCells = 8;
static_assert(std::endian::native == std::endian::little);
// Reads the byte cells through an 8-byte type that may alias them.
using ScreenWord [[gnu::may_alias]] = std::uint64_t;

inline std::uint64_t readScreenWord(const Chip8State& machine, std::size_t wordIndex) {
    const auto* word =
        reinterpret_cast<const ScreenWord*>(machine.screen.data() + wordIndex * screenWordCells);
    return __atomic_load_n(word, __ATOMIC_RELAXED);
}
