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
#include <vector>

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
    // Sized 4 x the machine's screen, turned by `rotation` degrees clockwise (0, 90, 180
    // or 270); creates the device for the main window's surface.
    explicit DisplayDx8(Chip8Machine& machine, std::uint16_t rotation = 0);
    ~DisplayDx8() override;
    DisplayDx8(const DisplayDx8&) = delete;
    DisplayDx8& operator=(const DisplayDx8&) = delete;

    void convert() override;
    void present() override;
    // Lets one display refresh pass without a new frame.
    void skipRefresh() const;

    Chip8Machine& machine;
    DirectDisplay direct;

  private:
    std::uint16_t rotation_;
    // The unturned picture, which a turned one is copied from.
    std::vector<std::uint32_t> unturned_;
};

// Copies the width x height texels of `from` (rows `width` apart) into `to` turned by
// `degrees` clockwise (90 and 270 swap the sides; 0 copies as they are).
void turnTexels(const std::vector<std::uint32_t>& from, std::uint32_t width, std::uint32_t height,
                std::uint16_t degrees, const LockedImage& to);

// Writes width x height texels (at most the 512 x 256 that the buffer covers) of the
// machine's screen into `image`, row by row; nothing beyond `width` in a row is touched.
// A cell's two low bits choose its look (dark, plane 1, plane 2, both); the other bits
// are not read.
void convertChip8Screen(const Chip8Machine& machine, const LockedImage& image, std::uint32_t width,
                        std::uint32_t height);
