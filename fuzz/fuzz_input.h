#pragma once
// Reads a fuzz input front to back; past its end every byte reads as 0, so a short
// input is the same as one padded with zeros.

#include <cstddef>
#include <cstdint>
#include <span>

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::uint8_t byte() { return position_ < bytes_.size() ? bytes_[position_++] : 0; }
    std::uint16_t word() {
        const std::uint8_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }
    // Everything not read yet.
    std::span<const std::uint8_t> rest() const {
        return position_ < bytes_.size() ? bytes_.subspan(position_)
                                         : std::span<const std::uint8_t>();
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};
