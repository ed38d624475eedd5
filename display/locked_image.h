#pragma once
// A locked texture as a display's convert writes it: the texel pointer and the row
// pitch in bytes. Texel (x, y) is the word at (pitch / 4) * y + x.

#include <cstddef>
#include <cstdint>

struct LockedImage {
    std::uint32_t* texels = nullptr;
    std::int32_t pitch = 0;

    std::uint32_t* row(std::uint32_t y) const {
        return texels + static_cast<std::ptrdiff_t>(pitch / 4) * y;
    }
};
