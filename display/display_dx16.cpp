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

    // Four pixels are twelve texels: three 16-byte stores in each of the pixel row's
    // three texel rows, the stores a fill of those rows makes, and nothing read back.
    using Texels = std::uint32_t __attribute__((vector_size(16)));
    static_assert(chip16ScreenWidth % 4 == 0 && texelsPerPixel == 3);
    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        const std::uint8_t* pixels = &machine.screen[y * chip16ScreenWidth];
        if (last != nullptr) {
            std::uint8_t* lastPixels = &last->screen[y * chip16ScreenWidth];
            const bool same =
                sameColours && std::memcmp(lastPixels, pixels, chip16ScreenWidth) == 0;
            last->changedRows[y] = same ? 0 : 1;
            if (same) {
                continue;
            }
            std::memcpy(lastPixels, pixels, chip16ScreenWidth);
        }
        std::uint32_t* top = image.row(y * texelsPerPixel);
        std::uint32_t* middle = image.row(y * texelsPerPixel + 1);
        std::uint32_t* bottom = image.row(y * texelsPerPixel + 2);
        for (std::uint32_t x = 0; x < chip16ScreenWidth; x += 4) {
            const Texels four = {colours[pixels[x] & 0x0F], colours[pixels[x + 1] & 0x0F],
                                 colours[pixels[x + 2] & 0x0F], colours[pixels[x + 3] & 0x0F]};
            const Texels twelve[3] = {__builtin_shufflevector(four, four, 0, 0, 0, 1),
                                      __builtin_shufflevector(four, four, 1, 1, 2, 2),
                                      __builtin_shufflevector(four, four, 2, 3, 3, 3)};
            std::memcpy(top + 3 * x, twelve, sizeof twelve);
            std::memcpy(middle + 3 * x, twelve, sizeof twelve);
            std::memcpy(bottom + 3 * x, twelve, sizeof twelve);
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
    // Each pixel row is one group of three texel rows.
    endConvert(direct, {opaque, texelsPerPixel, converted.changedRows.data()});
}

void DisplayDx16::present() {
    presentDirectDisplay(direct);
}

std::unique_ptr<Displayc16> createDisplayDx16() {
    return std::unique_ptr<Displayc16>(new (std::nothrow) DisplayDx16(chip16));
}
