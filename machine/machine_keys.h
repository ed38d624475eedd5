#pragma once
// The keys of a machine's own keypad or controller that are held right now: written by
// whatever reads the host's keyboard, polled by the machine's worker.

#include <atomic>
#include <cstdint>

class MachineKeys {
  public:
    MachineKeys() = default;
    // A copy holds the same keys; copying lets a machine record stay a plain value.
    MachineKeys(const MachineKeys& other) : bits_(other.bits()) {}
    MachineKeys& operator=(const MachineKeys& other) {
        bits_.store(other.bits(), std::memory_order_relaxed);
        return *this;
    }

    // Keys outside 0-31 are never held.
    bool isDown(unsigned key) const { return key < 32 && ((bits() >> key) & 1u) != 0; }
    void set(unsigned key, bool down) {
        if (key >= 32) {
            return;
        }
        const std::uint32_t mask = std::uint32_t{1} << key;
        if (down) {
            bits_.fetch_or(mask, std::memory_order_relaxed);
        } else {
            bits_.fetch_and(~mask, std::memory_order_relaxed);
        }
    }
    void releaseAll() { bits_.store(0, std::memory_order_relaxed); }
    std::uint32_t bits() const { return bits_.load(std::memory_order_relaxed); }

  private:
    std::atomic<std::uint32_t> bits_{0};
};
