#include "display/chip16_display.h"

#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <new>

namespace {
constexpr std::uint32_t texelsPerPixel = 3;
static_assert(chip16PictureWidth == texelsPerPixel * chip16ScreenWidth);
static_assert(chip16PictureHeight == texelsPerPixel * chip16ScreenHeight);

// Four pixels are twelve texels: three 16-byte stores in each of the pixel row's three
// texel rows (from `top`, `step` texels apart), the stores a fill of those rows makes,
// and nothing read back.
inline void writeFourPixels(const std::array<std::uint32_t, 16>& colours,
                            const std::uint8_t* pixels, std::uint32_t* top, std::ptrdiff_t step) {
    using Texels = std::uint32_t __attribute__((vector_size(16)));
    const Texels four = {colours[pixels[0] & 0x0F], colours[pixels[1] & 0x0F],
                         colours[pixels[2] & 0x0F], colours[pixels[3] & 0x0F]};
    const Texels twelve[3] = {__builtin_shufflevector(four, four, 0, 0, 0, 1),
                              __builtin_shufflevector(four, four, 1, 1, 2, 2),
                              __builtin_shufflevector(four, four, 2, 3, 3, 3)};
    std::memcpy(top, twelve, sizeof twelve);
    std::memcpy(top + step, twelve, sizeof twelve);
    std::memcpy(top + 2 * step, twelve, sizeof twelve);
}

using Colours = std::array<std::uint32_t, 16>;
// One pixel row's three texel rows, from `top`, `step` texels apart.
using RowWriter = void (*)(const Colours&, const std::uint8_t*, std::uint32_t*, std::ptrdiff_t);

void writeRowPlain(const Colours& colours, const std::uint8_t* pixels, std::uint32_t* top,
                   std::ptrdiff_t step) {
    for (std::uint32_t x = 0; x < chip16ScreenWidth; x += 4) {
        writeFourPixels(colours, pixels + x, top + 3 * x, step);
    }
}

#if defined(__x86_64__)
// With AVX-512 the sixteen colours fit one register, so sixteen pixels become their 48
// texels in registers: three 64-byte stores in each texel row, the stores a fill makes.
[[gnu::target("avx512f")]] void writeRowWithAvx512(const Colours& colours,
                                                   const std::uint8_t* pixels, std::uint32_t* top,
                                                   std::ptrdiff_t step) {
    static_assert(chip16ScreenWidth % 16 == 0);
    // The zero-masking forms with every lane kept: the plain ones start from an
    // undefined vector that this compiler reports as uninitialised.
    constexpr __mmask16 allLanes = 0xFFFF;
    const __m512i palette = _mm512_loadu_si512(colours.data());
    const __m512i indexBits = _mm512_set1_epi32(0x0F);
    // Which of the sixteen pixels each texel of the three 16-texel thirds shows.
    const __m512i thirds[3] = {
        _mm512_setr_epi32(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
        _mm512_setr_epi32(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
        _mm512_setr_epi32(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)};
    for (std::uint32_t x = 0; x < chip16ScreenWidth; x += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        const __m512i texelColours = _mm512_maskz_permutexvar_epi32(
            allLanes, _mm512_and_si512(_mm512_maskz_cvtepu8_epi32(allLanes, sixteen), indexBits),
            palette);
        std::uint32_t* at = top + 3 * x;
        for (const __m512i& third : thirds) {
            const __m512i texels = _mm512_maskz_permutexvar_epi32(allLanes, third, texelColours);
            _mm512_storeu_si512(at, texels);
            _mm512_storeu_si512(at + step, texels);
            _mm512_storeu_si512(at + 2 * step, texels);
            at += 16;
        }
    }
}

// Chosen while the program loads, before the processor's features are otherwise known.
const RowWriter writeWholeRow = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") ? writeRowWithAvx512 : writeRowPlain;
}();
#else
const RowWriter writeWholeRow = writeRowPlain;
#endif
} // namespace

void convertChip16Screen(const Chip16Machine& machine, const PixelRows& rows,
                         ConvertedChip16Screen* last) {
    // The background and the palette are constant for the whole conversion (the same
    // thread changes them between instructions only), so index 0 can be resolved once
    // per frame; a palette loaded by PAL shows from the next conversion on.
    Colours colours = machine.palette;
    colours[0] = machine.palette[machine.backgroundColour & 0x0F];
    const bool sameColours = last != nullptr && last->valid && last->colours == colours;

    static_assert(chip16ScreenWidth % 4 == 0 && texelsPerPixel == 3);
    // Read once: a texel store could alias the stride and force it through memory.
    const auto step = static_cast<std::ptrdiff_t>(rows.stride);
    for (std::uint32_t y = 0; y < chip16ScreenHeight; ++y) {
        const std::uint8_t* pixels = &machine.screen[y * chip16ScreenWidth];
        std::uint32_t* top = rows.row(y * texelsPerPixel);
        if (last == nullptr) {
            writeWholeRow(colours, pixels, top, step);
            continue;
        }
        std::uint8_t* lastPixels = &last->screen[y * chip16ScreenWidth];
        if (sameColours) {
            // With the same colours only the runs of four pixels that differ from the
            // last conversion are written again: a game moves few pixels in a frame.
            last->changedColumns[y] = {};
            if (std::memcmp(lastPixels, pixels, chip16ScreenWidth) == 0) {
                continue;
            }
            // The span is kept in locals: the texel stores could otherwise alias it and
            // force it through memory on every run.
            std::uint32_t first = 0;
            std::uint32_t end = 0;
            for (std::uint32_t x = 0; x < chip16ScreenWidth; x += 4) {
                if (std::memcmp(lastPixels + x, pixels + x, 4) != 0) {
                    writeFourPixels(colours, pixels + x, top + 3 * x, step);
                    first = end == 0 ? 3 * x : first;
                    end = 3 * x + 12;
                }
            }
            last->changedColumns[y] = {first, end};
        } else {
            last->changedColumns[y] = {0, chip16PictureWidth};
            writeWholeRow(colours, pixels, top, step);
        }
        std::memcpy(lastPixels, pixels, chip16ScreenWidth);
    }
    if (last != nullptr) {
        last->colours = colours;
        last->valid = true;
    }
}

Chip16Display::Chip16Display(const Chip16Machine& machine)
    : PictureDisplay(chip16PictureWidth, chip16PictureHeight, texelsPerPixel), machine_(machine) {}

void Chip16Display::convert() {
    if (hasPicture()) {
        convertChip16Screen(machine_, rows(), &converted_);
        // Each pixel row is one group of three texel rows.
        noteConverted(converted_.changedColumns.data());
    }
}

std::unique_ptr<MachineDisplay> createChip16Display(const Chip16Machine& machine) {
    return std::unique_ptr<MachineDisplay>(new (std::nothrow) Chip16Display(machine));
}
