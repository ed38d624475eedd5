#pragma once
// The Chip-16 display: each of the 320 x 240 pixels becomes a 3 x 3 block of the
// 960 x 720 picture, coloured through the machine's sixteen-colour palette, with index 0
// shown in the machine's background colour.

#include "chip16/chip16_machine.h"
#include "display/picture_display.h"

#include <array>
#include <cstdint>
#include <memory>

constexpr std::uint32_t chip16PictureWidth = 960;
constexpr std::uint32_t chip16PictureHeight = 720;

// What a picture last received from convertChip16Screen: the screen and the sixteen
// colours it was converted with, and for each pixel row the picture columns that
// conversion wrote (empty when the row was unchanged).
struct ConvertedChip16Screen {
    bool valid = false;
    std::array<std::uint32_t, 16> colours{};
    std::array<std::uint8_t, chip16ScreenWidth * chip16ScreenHeight> screen{};
    std::array<FrameSpan, chip16ScreenHeight> changedColumns{};
};

class Chip16Display final : public PictureDisplay {
  public:
    explicit Chip16Display(const Chip16Machine& machine);

    void convert() override;

  private:
    const Chip16Machine& machine_;
    // What the picture holds, so that rows that did not change are not written again.
    ConvertedChip16Screen converted_;
};

// A display of `machine` for the main window, or null when it cannot be allocated.
std::unique_ptr<MachineDisplay> createChip16Display(const Chip16Machine& machine);

// Writes the machine's screen into a 960 x 720 picture as the display shows it. With `last` (what
// the picture received before), only the pixel rows that differ from it are written, and `last` is
// brought up to date.
void convertChip16Screen(const Chip16Machine& machine, const PixelRows& rows,
                         ConvertedChip16Screen* last = nullptr);
