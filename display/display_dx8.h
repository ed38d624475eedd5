#pragma once
// The CHIP-8 display: every cell of the 128 x 64 screen buffer becomes a 4 x 4 block
// of the 512 x 256 texture, pale blue when dark and a rim around a core when lit: blue
// around cyan in plane 1, red around amber in plane 2 and purple around pink in both
// (only XO-CHIP programs draw in plane 2). Driven by the "tRender" worker.

#include "chip8/chip8_machine.h"
#include "display/direct_display.h"
#include "display/locked_image.h"
#include "machine/display_interfaces.h"

#include <cstdint>

constexpr std::uint32_t chip8UnlitColour = 0xFFBBCCFF;
constexpr std::uint32_t chip8RimColour = 0xFF0000FF;
constexpr std::uint32_t chip8CoreColour = 0xFF00FFFF;
constexpr std::uint32_t chip8SecondPlaneRimColour = 0xFFC00000;
constexpr std::uint32_t chip8SecondPlaneCoreColour = 0xFFFFC000;
constexpr std::uint32_t chip8BothPlanesRimColour = 0xFF600080;
constexpr std::uint32_t chip8BothPlanesCoreColour = 0xFFFF80FF;
constexpr std::uint32_t chip8CellTexels = 4;

class DisplayDx8 final : public Displayc8 {
  public:
    // Sized 4 x the machine's screen; creates the device for the main window's surface.
    explicit DisplayDx8(Chip8Machine& machine);
    ~DisplayDx8() override;
    DisplayDx8(const DisplayDx8&) = delete;
    DisplayDx8& operator=(const DisplayDx8&) = delete;

    void convert() override;
    void present() override;

    Chip8Machine& machine;
    DirectDisplay direct;
};

// Writes width x height texels (at most the 512 x 256 that the buffer covers) of the
// machine's screen into `image`, row by row; nothing beyond `width` in a row is touched.
// A cell's two low bits choose its look (dark, plane 1, plane 2, both); the other bits
// are not read.
void convertChip8Screen(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                        std::uint32_t height);
