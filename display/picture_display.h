#pragma once
// What the two displays share: the picture they draw and its handing over to the main
// window's surface. A picture is width x height pixels (0xAARRGGBB) in rows that start
// on 64-byte boundaries; from the first row on, its rows come in groups of `rowRepeat`
// equal ones, and a display notes for each group the columns its last convert changed.

#include "machine/machine_display.h"
#include "platform/host.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// Rows of pixels: pixel (x, y) is the word at stride * y + x.
struct PixelRows {
    std::uint32_t* pixels = nullptr;
    std::size_t stride = 0;

    std::uint32_t* row(std::uint32_t y) const { return pixels + stride * y; }
};

class PictureDisplay : public MachineDisplay {
  public:
    // Hands the picture to the surface and waits for its next refresh; without a
    // picture, only yields the processor.
    void present() override;
    bool hasPicture() const { return pixels_ != nullptr; }
    // Lets one display refresh pass without a new picture: the one shown stays up.
    void skipRefresh() const;

  protected:
    // A picture for the main window's surface; without a surface, or when its memory
    // cannot be had, "Error: Failed to create render texture!" and no picture.
    PictureDisplay(std::uint32_t width, std::uint32_t height, std::uint32_t rowRepeat);
    PixelRows rows() const { return {pixels_.get(), width_}; }
    // Called by convert once the picture is drawn: the changed columns of each group
    // since the picture before, or null when anything may have changed.
    void noteConverted(const FrameSpan* changes) {
        changes_ = changes;
        ++sequence_;
    }

  private:
    struct Free {
        void operator()(std::uint32_t* pixels) const { std::free(pixels); }
    };
    PictureSurface* surface_;
    std::uint32_t width_;
    std::uint32_t height_;
    std::uint32_t rowRepeat_;
    std::unique_ptr<std::uint32_t, Free> pixels_;
    // A number no other display of the process has, and how many pictures it drew: with
    // them a surface knows whether the changes follow the picture it holds.
    std::uint64_t id_;
    std::uint64_t sequence_ = 0;
    const FrameSpan* changes_ = nullptr;
};

// Headless runs that want frames as fast as possible turn the refresh wait off.
void setRefreshWaitEnabled(bool enabled);
