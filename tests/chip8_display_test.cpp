// The CHIP-8 display: the cell looks of the two planes, the screen quad and the render
// worker's callbacks.

#include "chip8/tick_pacer.h"
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

namespace {
// Under paced rules the flicker filter holds back one frame in a row at most: a program
// that draws and erases its cursor within every tick still shows its screen, every
// other refresh. Under the machine's own rules it holds back every such frame.
TEST_F(Chip8DisplayTest, PacedRulesHoldBackAtMostOneFrameInARow) {
    using namespace chip8reg;
    m.tickPacing = false;
    runtime->setFlickerFilter(true);
    Chip8Program p;
    const auto loop = p.label();
    p.bind(loop).drw(V0, V0, 1).drw(V0, V0, 1).jp(loop);
    for (const Chip8Variant variant : {Chip8Variant::XoChip, Chip8Variant::SuperChipModern}) {
        m.rules = chip8RulesFor(variant);
        // Whole loops per tick, so that every tick ends after the erase.
        m.rules.instructionsPerTick = 30;
        load(p.bytes());
        poke(0x300, {0xF0});
        m.I = 0x300;
        runtime->renderStart();
        const std::uint64_t before = sink.framesShown();
        for (int tick = 0; tick < 8; ++tick) {
            runChip8Batch(m);
            ASSERT_EQ(m.eraseFlag, 1);
            runtime->renderStep();
        }
        EXPECT_EQ(sink.framesShown() - before, 4u) << chip8VariantName(variant);
        runtime->renderStop();
    }

    m.rules = quorvixRules;
    runtime->renderStart();
    const std::uint64_t before = sink.framesShown();
    m.eraseFlag = 1;
    for (int step = 0; step < 8; ++step) {
        runtime->renderStep();
    }
    EXPECT_EQ(sink.framesShown() - before, 0u);
    runtime->renderStop();
}

// A 3 x 2 picture turned each way: 90 degrees puts its left column on top, read from
// the bottom up.
TEST(Chip8TurnedPictureTest, TexelsTurnClockwise) {
    const std::vector<std::uint32_t> picture = {1, 2, 3, 4, 5, 6};
    const struct {
        std::uint16_t degrees;
        std::uint32_t pitch;
        std::vector<std::uint32_t> turned;
    } cases[] = {{0, 3, {1, 2, 3, 4, 5, 6}},
                 {90, 2, {4, 1, 5, 2, 6, 3}},
                 {180, 3, {6, 5, 4, 3, 2, 1}},
                 {270, 2, {3, 6, 2, 5, 1, 4}}};
    for (const auto& c : cases) {
        std::vector<std::uint32_t> texels(6);
        turnTexels(picture, 3, 2, c.degrees,
                   LockedImage{texels.data(), static_cast<std::int32_t>(c.pitch * 4)});
        EXPECT_EQ(texels, c.turned) << c.degrees;
    }
}

// A display started with the picture turned on its side is 256 x 512 texels: the frame
// it presents is the machine's 512 x 256 turned.
TEST_F(Chip8DisplayTest, ATurnedDisplayPresentsTheTurnedFrame) {
    m.screen[0] = 1; // the top-left cell
    for (const auto& [degrees, size, litCorner] :
         {std::tuple{std::uint16_t{90}, std::pair{256u, 512u}, std::pair{255u, 0u}},
          std::tuple{std::uint16_t{270}, std::pair{256u, 512u}, std::pair{0u, 511u}},
          std::tuple{std::uint16_t{180}, std::pair{512u, 256u}, std::pair{511u, 255u}}}) {
        runtime->setRotation(degrees);
        runtime->renderStart();
        runtime->renderStep();
        std::uint32_t frameWidth = 0;
        std::uint32_t frameHeight = 0;
        const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
        ASSERT_EQ(std::pair(frameWidth, frameHeight), size) << degrees;
        // The cell's rim, blue, at the turned corner.
        EXPECT_EQ(frame[litCorner.second * frameWidth + litCorner.first], 0xFF0000FFu) << degrees;
        runtime->renderStop();
    }
}
} // namespace
