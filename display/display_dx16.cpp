#include "display/display_dx16.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr std::uint32_t texelsPerPixel = 3;
static_assert(displayDx16Width == texelsPerPixel * chip16ScreenWidth);
static_assert(displayDx16Height == texelsPerPixel * chip16ScreenHeight);
} // namespace

bool convertChip16Screen(const Chip16Machine& machine, const LockedImage& image,
                         ConvertedChip16Screen* last) {
    // The background and the palette are constant for the whole conversion (the same
    // thread changes them between instructions only), so index 0 can be resolved once
    // per frame; a palette loaded by PAL shows from the next conversion on.
    std::array<std::uint32_t, 16> colours = machine.palette;
    colours[0] = machine.palette[machine.backgroundColour & 0x0F];
    const bool sameColours = last != nullptr && last->valid && last->colours == colours;

    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        const std::uint8_t* pixels = &machine.screen[y * chip16ScreenWidth];
        if (last != nullptr) {
            std::uint8_t* lastPixels = &last->screen[y * chip16ScreenWidth];
            if (sameColours && std::memcmp(lastPixels, pixels, chip16ScreenWidth) == 0) {
                continue;
            }
            std::memcpy(lastPixels, pixels, chip16ScreenWidth);
        }
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
    if (last != nullptr) {
        last->colours = colours;
        last->valid = true;
    }
    return std::all_of(colours.begin(), colours.end(),
                       [](std::uint32_t colour) { return colour >> 24 == 0xFF; });
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
    const bool opaque = convertChip16Screen(machine, image, &converted);
    endConvert(direct, {opaque, texelsPerPixel});
}

void DisplayDx16::present() {
    presentDirectDisplay(direct);
}

std::unique_ptr<Displayc16> createDisplayDx16() {
    return std::unique_ptr<Displayc16>(new (std::nothrow) DisplayDx16(chip16));
}
