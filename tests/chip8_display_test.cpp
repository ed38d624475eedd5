// The CHIP-8 display: the three-colour cell look, the screen quad and the render
// worker's callbacks.

#include "app/emulator_state.h"
#include "chip8/chip8_machine.h"
#include "display/direct_display.h"
#include "display/display_dx8.h"
#include "platform/headless/headless_host.h"
#include "tests/chip8_test_machine.h"

#include <gtest/gtest.h>

namespace {
constexpr std::uint32_t width = 512;
constexpr std::uint32_t height = 256;
using Cells = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

std::uint32_t expectedTexel(std::uint32_t x, std::uint32_t y, const Cells& litCells) {
    for (const auto& [column, row] : litCells) {
        if (x / 4 == column && y / 4 == row) {
            const bool core = (x % 4 == 1 || x % 4 == 2) && (y % 4 == 1 || y % 4 == 2);
            return core ? chip8CoreColour : chip8RimColour;
        }
    }
    return chip8UnlitColour;
}

// Texels of a `stride`-wide image that differ from the look of `litCells`; texels past
// `width` in a row must still hold `padding`.
int wrongTexels(const std::vector<std::uint32_t>& texels, std::uint32_t stride,
                const Cells& litCells, std::uint32_t padding = 0) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < stride; ++x) {
            const std::uint32_t expected = x < width ? expectedTexel(x, y, litCells) : padding;
            wrong += texels[y * stride + x] != expected ? 1 : 0;
        }
    }
    return wrong;
}

class Chip8DisplayTest : public Chip8MachineTest {
  protected:
    void SetUp() override {
        Chip8MachineTest::SetUp();
        loadChip8Program({});
    }
    void TearDown() override {
        chip8.display.reset();
        headless::setMainSurface(nullptr);
        flickerFilter = 0;
        Chip8MachineTest::TearDown();
    }
};

TEST_F(Chip8DisplayTest, ConvertDrawsLitCellsAsRimAndCoreAndStaysInsideEachRow) {
    chip8.screen[0] = 1;
    chip8.screen[63 * 128 + 127] = 7; // any non-zero byte is lit
    chip8.screen[10 * 128 + 20] = 1;
    constexpr std::uint32_t stride = width + 24;
    std::vector<std::uint32_t> texels(stride * height, 0xDEADBEEF);
    convertChip8Screen(chip8, LockedImage{texels.data(), stride * 4}, width, height);
    EXPECT_EQ(wrongTexels(texels, stride, {{0, 0}, {127, 63}, {20, 10}}, 0xDEADBEEF), 0);
    EXPECT_EQ(texels[stride + 1], 0xFF00FFFFu);
    EXPECT_EQ(texels[3 * stride + 1], 0xFF0000FFu);
    EXPECT_EQ(texels[4 * stride + 4], 0xFFBBCCFFu);
}

TEST_F(Chip8DisplayTest, ScreenQuadCoversTheBackBufferWithHalfPixelShift) {
    for (const auto& [w, h] : {std::pair{512u, 256u}, std::pair{960u, 720u}}) {
        const auto quad = screenQuad(w, h);
        const float right = static_cast<float>(w) - 0.5f;
        const float bottom = static_cast<float>(h) - 0.5f;
        const float corners[4][4] = {{-0.5f, -0.5f, 0, 0},
                                     {right, -0.5f, 1, 0},
                                     {right, bottom, 1, 1},
                                     {-0.5f, bottom, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(quad[i].x, corners[i][0]);
            EXPECT_EQ(quad[i].y, corners[i][1]);
            EXPECT_EQ(quad[i].u, corners[i][2]);
            EXPECT_EQ(quad[i].v, corners[i][3]);
            EXPECT_EQ(quad[i].z, 0.0f);
            EXPECT_EQ(quad[i].rhw, 1.0f);
            EXPECT_EQ(quad[i].diffuse, 0xFFFFFFFFu);
        }
    }
}

TEST_F(Chip8DisplayTest, RenderStepPresentsTheScreenUnlessTheFlickerFilterHoldsItBack) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    chip8.screen[2 * 128 + 5] = 1;
    renderStart();
    ASSERT_NE(chip8.display, nullptr);
    renderStep();
    std::uint32_t frameWidth = 0;
    std::uint32_t frameHeight = 0;
    const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
    ASSERT_EQ(frameWidth * frameHeight, width * height);
    EXPECT_EQ(wrongTexels(frame, width, {{5, 2}}), 0);

    const struct {
        std::uint8_t filter, erased, shown;
    } steps[] = {{1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    for (const auto& step : steps) {
        flickerFilter = step.filter;
        chip8.eraseFlag = step.erased;
        const std::uint64_t before = sink.framesShown();
        renderStep();
        EXPECT_EQ(sink.framesShown() - before, step.shown);
    }
    renderStop();
    EXPECT_EQ(chip8.display, nullptr);
    renderStep(); // without a display nothing happens
}

TEST_F(Chip8DisplayTest, WithoutASurfaceFramesAreSkipped) {
    {
        DisplayDx8 display(chip8);
        EXPECT_EQ(display.direct.device, nullptr);
        EXPECT_EQ(display.direct.texture, nullptr);
        display.convert();
        display.present();
    }
    EXPECT_EQ(console(), "Error: Failed to create render texture!\n");
}
} // namespace
