// The CHIP-8 display: the cell looks of the two planes, the screen quad and the render
// worker's callbacks.

#include "display/direct_display.h"
#include "display/display_dx8.h"
#include "tests/chip8_test_machine.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <tuple>

namespace {
constexpr std::uint32_t width = 512;
constexpr std::uint32_t height = 256;
using Chip8DisplayTest = Chip8MachineTest;

// Texels of a `stride`-wide image that differ from the look of the machine's screen: a
// lit cell is 4 x 4 texels of rim around a 2 x 2 core, its colours chosen by the
// cell's planes (bit 0 plane 1, bit 1 plane 2). Texels past `width` in a row must still
// hold what they held `before`.
int wrongTexels(const Chip8State& m, const std::uint32_t* texels, std::uint32_t stride,
                const std::vector<std::uint32_t>& before = {}) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < stride; ++x) {
            std::uint32_t expected = 0;
            if (x >= width) {
                expected = before[y * stride + x];
            } else {
                const bool core = (x % 4 == 1 || x % 4 == 2) && (y % 4 == 1 || y % 4 == 2);
                // Pale blue when dark; plane 1: a blue rim around a cyan core; plane 2: red
                // around amber; both: purple around pink.
                const std::uint32_t rims[] = {0xFFBBCCFF, 0xFF0000FF, 0xFFC00000, 0xFF600080};
                const std::uint32_t cores[] = {0xFFBBCCFF, 0xFF00FFFF, 0xFFFFC000, 0xFFFF80FF};
                const int look = m.screen[y / 4 * chip8ScreenWidth + x / 4] & 3;
                expected = core ? cores[look] : rims[look];
            }
            wrong += texels[y * stride + x] != expected ? 1 : 0;
        }
    }
    return wrong;
}

TEST_F(Chip8DisplayTest, ConvertDrawsLitCellsAsRimAndCoreAndStaysInsideEachRow) {
    m.screen[0] = 1;
    m.screen[63 * 128 + 127] = 2;
    m.screen[10 * 128 + 20] = 3;
    m.screen[10 * 128 + 21] = 4; // the bits above the planes are not read: dark
    constexpr std::uint32_t stride = width + 24;
    std::vector<std::uint32_t> before(stride * height); // a different value in every texel
    std::iota(before.begin(), before.end(), 0xDEAD0000u);
    // Rows starting on a 32-byte boundary, 16 bytes past one, and 4 bytes past one.
    alignas(32) static std::array<std::uint32_t, stride * height + 8> buffer;
    for (const std::size_t offset : {0, 4, 1}) {
        std::uint32_t* const shifted = buffer.data() + offset;
        std::copy(before.begin(), before.end(), shifted);
        convertChip8Screen(m, LockedImage{shifted, stride * 4}, width, height);
        EXPECT_EQ(wrongTexels(m, shifted, stride, before), 0) << "texel offset " << offset;
    }
    const std::uint32_t* const texels = buffer.data() + 1;
    EXPECT_EQ(ints(texels[stride + 1], texels[3 * stride + 1], texels[4 * stride + 4]),
              ints(0xFF00FFFF, 0xFF0000FF, 0xFFBBCCFF))
        << "core, rim, unlit";
    EXPECT_EQ(ints(texels[41 * stride + 81], texels[40 * stride + 80], texels[41 * stride + 85]),
              ints(0xFFFF80FF, 0xFF600080, 0xFFBBCCFF))
        << "both planes: core, rim; the cell with value 4";
    EXPECT_EQ(ints(texels[254 * stride + 510], texels[255 * stride + 511]),
              ints(0xFFFFC000, 0xFFC00000))
        << "plane 2: core, rim";
}

// Every cell with a different look from its neighbours, into rows that start 0, 4, 16,
// 32 or 48 bytes past a 64-byte boundary: all rows alike (a 2,112-byte row) or not
// (2,144 bytes). Catches a cell written to its neighbour's place or with a wrong look in
// any way of writing whole rows.
TEST_F(Chip8DisplayTest, ConvertDrawsEveryCellWhereverItsRowsStart) {
    for (std::size_t i = 0; i < m.screen.size(); ++i) {
        m.screen[i] = static_cast<std::uint8_t>((i * 5 + i / 128 + i / 7) % 7);
    }
    for (const std::uint32_t stride : {width + 16, width + 24}) {
        std::vector<std::uint32_t> before(stride * height);
        std::iota(before.begin(), before.end(), 0xBEEF0000u);
        alignas(64) static std::array<std::uint32_t, (width + 24) * height + 16> buffer;
        for (const std::size_t offset : {0, 1, 4, 8, 12}) {
            std::uint32_t* const shifted = buffer.data() + offset;
            std::copy(before.begin(), before.end(), shifted);
            convertChip8Screen(m, LockedImage{shifted, static_cast<std::int32_t>(stride * 4)},
                               width, height);
            EXPECT_EQ(wrongTexels(m, shifted, stride, before), 0)
                << "stride " << stride << " texel offset " << offset;
        }
    }
}

TEST_F(Chip8DisplayTest, ScreenQuadCoversTheBackBufferWithHalfPixelShift) {
    for (const auto& [w, h] : {std::pair{512u, 256u}, std::pair{960u, 720u}}) {
        const float r = static_cast<float>(w) - 0.5f;
        const float b = static_cast<float>(h) - 0.5f;
        const std::array<float, 4> corners[] = {
            {-0.5f, -0.5f, 0, 0}, {r, -0.5f, 1, 0}, {r, b, 1, 1}, {-0.5f, b, 0, 1}};
        const auto quad = screenQuad(w, h);
        for (std::size_t i = 0; i < 4; ++i) {
            const ScreenVertex& v = quad[i];
            EXPECT_EQ((std::array{v.x, v.y, v.u, v.v}), corners[i]) << i;
            EXPECT_EQ(std::tuple(v.z, v.rhw, v.diffuse), std::tuple(0.0f, 1.0f, 0xFFFFFFFFu));
        }
    }
}

// Without a surface the display has no device or texture and skips its frames; with
// one, a render step presents the converted screen unless the flicker filter holds back
// a frame whose last draw erased something.
TEST_F(Chip8DisplayTest, RenderStepSkipsWithoutASurfaceAndFollowsTheFlickerFilter) {
    headless::setMainSurface(nullptr);
    runtime->renderStart();
    runtime->renderStep();
    EXPECT_EQ(console(), "Error: Failed to create render texture!\n");

    headless::setMainSurface(&sink);
    m.screen[2 * 128 + 5] = 1;
    runtime->renderStart();
    runtime->renderStep();
    std::uint32_t frameWidth = 0;
    std::uint32_t frameHeight = 0;
    const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
    ASSERT_EQ(ints(frameWidth, frameHeight), ints(width, height));
    EXPECT_EQ(wrongTexels(m, frame.data(), width), 0);
    const struct {
        std::uint8_t filter, erased, shown;
    } steps[] = {{1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    for (const auto& step : steps) {
        runtime->setFlickerFilter(step.filter != 0);
        m.eraseFlag = step.erased;
        const std::uint64_t before = sink.framesShown();
        runtime->renderStep();
        EXPECT_EQ(sink.framesShown() - before, step.shown);
    }
    runtime->renderStop();
    EXPECT_EQ(runtime->display(), nullptr);
    runtime->renderStep(); // without a display nothing happens
}
} // namespace
