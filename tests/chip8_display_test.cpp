// The CHIP-8 display: the three-colour cell look, the texture frame and the render
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
constexpr std::uint32_t sentinel = 0xDEADBEEF;

// The colour of texel (x, y) when exactly the given cells are lit.
std::uint32_t expectedTexel(std::uint32_t x, std::uint32_t y,
                            const std::vector<std::pair<std::uint32_t, std::uint32_t>>& litCells) {
    for (const auto& [column, row] : litCells) {
        if (x / 4 == column && y / 4 == row) {
            const bool core = (x % 4 == 1 || x % 4 == 2) && (y % 4 == 1 || y % 4 == 2);
            return core ? chip8CoreColour : chip8RimColour;
        }
    }
    return chip8UnlitColour;
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
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> litCells = {
        {0, 0}, {127, 63}, {20, 10}};

    constexpr std::uint32_t padding = 24;
    constexpr std::int32_t pitch = (width + padding) * 4;
    std::vector<std::uint32_t> texels((width + padding) * height, sentinel);
    convertChip8Screen(chip8, LockedImage{texels.data(), pitch}, width, height);

    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width + padding; ++x) {
            const std::uint32_t expected = x < width ? expectedTexel(x, y, litCells) : sentinel;
            if (texels[y * (width + padding) + x] != expected && ++wrong < 5) {
                ADD_FAILURE() << "texel (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(texels[1 * (width + padding) + 1], chip8CoreColour);
    EXPECT_EQ(texels[3 * (width + padding) + 1], chip8RimColour);
    EXPECT_EQ(texels[255 * (width + padding) + 511], chip8RimColour);
}

TEST_F(Chip8DisplayTest, ScreenQuadCoversTheBackBufferWithHalfPixelShift) {
    struct Corner {
        float x, y, u, v;
    };
    for (const auto& [w, h] : {std::pair{512u, 256u}, std::pair{960u, 720u}}) {
        const auto quad = screenQuad(w, h);
        const float right = static_cast<float>(w) - 0.5f;
        const float bottom = static_cast<float>(h) - 0.5f;
        const Corner expected[4] = {{-0.5f, -0.5f, 0, 0},
                                    {right, -0.5f, 1, 0},
                                    {right, bottom, 1, 1},
                                    {-0.5f, bottom, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(quad[i].x, expected[i].x);
            EXPECT_EQ(quad[i].y, expected[i].y);
            EXPECT_EQ(quad[i].z, 0.0f);
            EXPECT_EQ(quad[i].rhw, 1.0f);
            EXPECT_EQ(quad[i].diffuse, 0xFFFFFFFFu);
            EXPECT_EQ(quad[i].u, expected[i].u);
            EXPECT_EQ(quad[i].v, expected[i].v);
        }
    }
}

TEST_F(Chip8DisplayTest, PresentedFrameIsTheConvertedScreen) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    chip8.screen[2 * 128 + 5] = 1;
    DisplayDx8 display(chip8);
    EXPECT_EQ(display.direct.width, width);
    EXPECT_EQ(display.direct.height, height);
    display.convert();
    display.present();

    std::uint32_t frameWidth = 0;
    std::uint32_t frameHeight = 0;
    const auto frame = sink.lastFrame(&frameWidth, &frameHeight);
    ASSERT_EQ(frameWidth, width);
    ASSERT_EQ(frameHeight, height);
    int wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            wrong += frame[y * width + x] != expectedTexel(x, y, {{5, 2}}) ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Chip8DisplayTest, WithoutASurfaceFramesAreSkipped) {
    headless::setMainSurface(nullptr);
    {
        DisplayDx8 display(chip8);
        EXPECT_EQ(display.direct.device, nullptr);
        EXPECT_EQ(display.direct.texture, nullptr);
        display.convert();
        display.present();
    }
    EXPECT_NE(console().find("Error: Failed to create render texture!"), std::string::npos);
}

TEST_F(Chip8DisplayTest, RenderStepHonoursTheFlickerFilter) {
    headless::FrameSink sink;
    headless::setMainSurface(&sink);
    renderStart();
    ASSERT_NE(chip8.display, nullptr);

    chip8.eraseFlag = 1;
    flickerFilter = 1;
    renderStep();
    EXPECT_EQ(sink.framesShown(), 0u) << "filter on, last draw erased";
    flickerFilter = 0;
    renderStep();
    EXPECT_EQ(sink.framesShown(), 1u) << "filter off";
    flickerFilter = 1;
    chip8.eraseFlag = 0;
    renderStep();
    EXPECT_EQ(sink.framesShown(), 2u) << "filter on, nothing erased";

    renderStop();
    EXPECT_EQ(chip8.display, nullptr);
    renderStep(); // no display: nothing happens
    EXPECT_EQ(sink.framesShown(), 2u);
}
} // namespace
