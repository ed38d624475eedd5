#pragma once
// The Chip-16 display: each of the 320 x 240 pixels becomes a 3 x 3 block of the
// 960 x 720 texture, coloured through the machine's sixteen-colour palette, with index 0
// shown in the machine's background colour.

#include "chip16/chip16_machine.h"
#include "display/direct_display.h"
#include "display/locked_image.h"
#include "machine/display_interfaces.h"

#include <array>
#include <cstdint>
#include <memory>

constexpr std::uint32_t displayDx16Width = 960;
constexpr std::uint32_t displayDx16Height = 720;

// What an image last received from convertChip16Screen: the screen and the sixteen
// colours it was converted with, and for each pixel row the texel columns that
// conversion wrote (empty when the row was unchanged).
struct ConvertedChip16Screen {
    bool valid = false;
    std::array<std::uint32_t, 16> colours{};
    std::array<std::uint8_t, chip16ScreenWidth * chip16ScreenHeight> screen{};
    std::array<FrameSpan, chip16ScreenHeight> changedColumns{};
};

class DisplayDx16 final : public Displayc16 {
  public:
    explicit DisplayDx16(Chip16Machine& machine);
    ~DisplayDx16() override;
    DisplayDx16(const DisplayDx16&) = delete;
    DisplayDx16& operator=(const DisplayDx16&) = delete;

    void convert() override;
    void present() override;

    Chip16Machine& machine;
    DirectDisplay direct;
    // What the texture holds, so that rows that did not change are not written again.
    ConvertedChip16Screen converted;
};

// The display for the process's Chip-16 machine and the main window, or null when it
// cannot be allocated.
std::unique_ptr<Displayc16> createDisplayDx16(Chip16Machine& machine);

// Writes the machine's screen into a 960 x 720 image as the display shows it; true when
// every texel written is opaque. With `last` (what the image received before), only
// the pixel rows that differ from it are written, and `last` is brought up to date.
bool convertChip16Screen(const Chip16Machine& machine, const LockedImage& image,
                         ConvertedChip16Screen* last = nullptr);
