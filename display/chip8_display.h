#pragma once
// The CHIP-8 display: every cell of the 128 x 64 screen buffer becomes a 4 x 4 block
// of the 512 x 256 picture, pale blue when dark and a rim around a core when lit: blue
// around cyan in plane 1, red around amber in plane 2 and purple around pink in both
// (only XO-CHIP programs draw in plane 2). Driven by the "tRender" worker.

#include "chip8/chip8_machine.h"
#include "display/picture_display.h"

#include <array>
#include <cstdint>
#include <vector>

constexpr std::uint32_t chip8UnlitColour = 0xFFBBCCFF;
constexpr std::uint32_t chip8RimColour = 0xFF0000FF;
constexpr std::uint32_t chip8CoreColour = 0xFF00FFFF;
constexpr std::uint32_t chip8SecondPlaneRimColour = 0xFFC00000;
constexpr std::uint32_t chip8SecondPlaneCoreColour = 0xFFFFC000;
constexpr std::uint32_t chip8BothPlanesRimColour = 0xFF600080;
constexpr std::uint32_t chip8BothPlanesCoreColour = 0xFFFF80FF;
constexpr std::uint32_t chip8CellPixels = 4;
constexpr std::uint32_t chip8PictureWidth = chip8ScreenWidth * chip8CellPixels;
constexpr std::uint32_t chip8PictureHeight = chip8ScreenHeight * chip8CellPixels;

class Chip8Display final : public PictureDisplay {
  public:
    // `rotation`: degrees clockwise the picture is turned (0, 90, 180 or 270); 90 and 270
    // make it 256 x 512.
    explicit Chip8Display(const Chip8Machine& machine, std::uint16_t rotation = 0);

    // Draws again only the screen rows whose cells changed since the last picture (a
    // turned picture is drawn whole).
    void convert() override;

  private:
    const Chip8Machine& machine_;
    std::uint16_t rotation_;
    // The unturned picture, which a turned one is copied from.
    std::vector<std::uint32_t> unturned_;
    bool drawn_ = false;
    std::array<std::array<std::uint8_t, chip8ScreenWidth>, chip8ScreenHeight> cells_{};
    std::array<FrameSpan, chip8PictureHeight> changedColumns_{};
};

// Draws the whole 512 x 256 picture of the machine's screen into `rows` (fastest when
// they start on 64-byte boundaries). A cell's two low bits choose its look (dark,
// plane 1, plane 2, both); the other bits are not read.
void drawChip8Screen(const Chip8Machine& machine, const PixelRows& rows);

// Copies the width x height pixels of `from` (rows `width` apart) into `to` turned by
// `degrees` clockwise (90 and 270 swap the sides; 0 copies them as they are).
void turnPixels(const std::vector<std::uint32_t>& from, std::uint32_t width, std::uint32_t height,
                std::uint16_t degrees, const PixelRows& to);
