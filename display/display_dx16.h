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
};

// The display for the process's Chip-16 machine and the main window, or null when it
// cannot be allocated.
std::unique_ptr<Displayc16> createDisplayDx16();

// Writes the machine's screen into a 960 x 720 image as the display shows it.
void convertChip16Screen(const Chip16Machine& machine, const LockedImage& image);
