#include "display/display_dx16.h"

#include <algorithm>
#include <cstring>
#include <new>

const std::array<std::uint32_t, 16> chip16Palette = {
    0xFF000000, 0xFF000000, 0xFF888888, 0xFFBF3932, 0xFFDE7AAE, 0xFF4C3D21, 0xFF905F25, 0xFFE49452,
    0xFFEAD979, 0xFF537A3B, 0xFFABD54A, 0xFF252E38, 0xFF00467F, 0xFF68ABCC, 0xFFBCDEE4, 0xFFFFFFFF,
};

namespace {
constexpr std::uint32_t texelsPerPixel = 3;
static_assert(displayDx16Width == texelsPerPixel * chip16ScreenWidth);
static_assert(displayDx16Height == texelsPerPixel * chip16ScreenHeight);
} // namespace

void convertChip16Screen(const Chip16Machine& machine, const LockedImage& image) {
    // The background is constant for the whole conversion (the same thread changes it
    // between instructions only), so index 0 can be resolved once per frame.
    std::array<std::uint32_t, 16> colours = chip16Palette;
    colours[0] = chip16Palette[machine.backgroundColour & 0x0F];

    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        const std::uint8_t* pixels = &machine.screen[y * chip16ScreenWidth];
        std::uint32_t* first = image.row(y * texelsPerPixel);
        for (std::uint32_t x = 0; x < chip16ScreenWidth; ++x) {
            const std::uint32_t colour = colours[pixels[x] & 0x0F];
            first[3 * x] = colour;
            first[3 * x + 1] = colour;
            first[3 * x + 2] = colour;
        }
        // The other two texel rows of the pixel row are the same.
        for (std::uint32_t copy = 1; copy < texelsPerPixel; ++copy) {
            std::memcpy(image.row(y * texelsPerPixel + copy), first,
                        displayDx16Width * sizeof(std::uint32_t));
        }
    }
}

DisplayDx16::DisplayDx16(Chip16Machine& machine) : machine(machine) {
    constructDirectDisplay(direct, displayDx16Width, displayDx16Height);
}

DisplayDx16::~DisplayDx16() {
    releaseDirectDisplay(direct);
}

void DisplayDx16::convert() {
    LockedImage image;
    if (!beginConvert(direct, image)) {
        return;
    }
    convertChip16Screen(machine, image);
    endConvert(direct);
}

void DisplayDx16::present() {
    presentDirectDisplay(direct);
}

std::unique_ptr<Displayc16> createDisplayDx16() {
    return std::unique_ptr<Displayc16>(new (std::nothrow) DisplayDx16(chip16));
}
