#include "display/direct_display.h"

#include "platform/clock.h"
#include "platform/headless/headless_host.h"

#include <gtest/gtest.h>

namespace {
using Pixels = std::vector<std::uint32_t>;

// A device of its own showing on `sink`, or on `surface` when one is given, with a
// texture bound and the full-screen quad of its size as its stream.
struct TestDevice {
    headless::FrameSink sink;
    FrameSystem* system = createFrameSystem();
    FrameDevice* device = nullptr;
    FrameTexture* texture = nullptr;
    FrameVertexBuffer* quad = nullptr;

    TestDevice(std::uint32_t width, std::uint32_t height, std::uint32_t textureWidth,
               std::uint32_t textureHeight, PictureSurface* surface = nullptr)
        : device(createFrameDevice(*system, width, height, surface ? surface : &sink)),
          texture(createFrameTexture(device, textureWidth, textureHeight)),
          quad(createFrameVertexBuffer(*device)) {
        quad->vertices = screenQuad(textureWidth, textureHeight);
        device->stream = quad;
        device->boundTexture = texture;
    }
    ~TestDevice() {
        releaseFrameVertexBuffer(quad);
        releaseFrameTexture(texture);
        releaseFrameDevice(device);
        releaseFrameSystem(system);
    }
    void fillTexture(std::initializer_list<std::uint32_t> texels) {
        LockedImage image;
        ASSERT_TRUE(lockTexture(texture, image));
        auto next = texels.begin();
        for (std::uint32_t y = 0; y < texture->height; ++y) {
            for (std::uint32_t x = 0; x < texture->width; ++x) {
                image.row(y)[x] = *next++;
            }
        }
        unlockTexture(texture);
    }
    Pixels present() {
        clearBackBuffer(*device, clearColour);
        drawQuad(*device);
        presentBackBuffer(*device);
        return lastFrame();
    }
    Pixels lastFrame() {
        std::uint32_t width = 0, height = 0;
        return sink.lastFrame(&width, &height);
    }
};

constexpr std::uint32_t red = 0xFFFF0000;
constexpr std::uint32_t green = 0xFF00FF00;
constexpr std::uint32_t halfWhite = 0x80FFFFFF;
constexpr std::uint32_t blue = clearColour;
// Half-transparent white over the opaque blue clear colour.
constexpr std::uint32_t whiteOverBlue = 0xFF8080FF;
} // namespace

TEST(FrameDevice, TheFullScreenQuadShowsEachTexelOnItsOwnPixel) {
    TestDevice test(3, 2, 3, 2);
    ASSERT_GT(test.texture->pitch, 3 * 4);
    test.fillTexture({red, green, halfWhite, green, red, red});
    EXPECT_EQ(test.present(), (Pixels{red, green, whiteOverBlue, green, red, red}));
    // A second frame starts from the clear colour again, not from the last picture.
    EXPECT_EQ(test.present(), (Pixels{red, green, whiteOverBlue, green, red, red}));
}

TEST(FrameDevice, PixelsOutsideASmallerQuadKeepTheClearColour) {
    TestDevice test(4, 3, 2, 1);
    // The 2 x 1 texture's quad moved over pixels 1-2 of row 1 only.
    for (auto& vertex : test.quad->vertices) {
        vertex.x += 1.0f;
        vertex.y += 1.0f;
    }
    test.fillTexture({red, halfWhite});
    EXPECT_EQ(test.present(), (Pixels{blue, blue, blue, blue, blue, red, whiteOverBlue, blue, blue,
                                      blue, blue, blue}));
}

// A size whose buffer cannot be had gives no device or texture instead of an exception
// escaping into the display's start-up.
TEST(FrameDeviceTest, BuffersTooLargeToHaveGiveNull) {
    TestDevice test(320, 240, 2, 1);
    EXPECT_EQ(createFrameDevice(*test.system, 0xFFFFFFFF, 0xFFFFFFFF, &test.sink), nullptr);
    ASSERT_NE(test.device, nullptr);
    EXPECT_EQ(createFrameTexture(test.device, 0xFFFFFFF0, 0xFFFFFFFF), nullptr);
}

// The refresh clock ticks every period from program start; a present waits for the
// next tick, however far into the period it was made.
TEST(FrameDevice, APresentReturnsAtTheNextRefreshTick) {
    initClock();
    TestDevice test(2, 1, 2, 1);
    test.sink.setRefreshPeriod(16'666'667);
    useManualClock(clockStart + 5'000'000);
    test.present();
    EXPECT_EQ(elapsedNanoseconds(), 16'666'667u);
    advanceManualClock(16'666'000); // 0.667 us before the second tick
    test.present();
    EXPECT_EQ(elapsedNanoseconds(), 33'333'334u);
    useRealClock();
}

// An opaque texture on the full-screen quad is shown as it is, without the back buffer;
// each frame still follows the quad it is drawn with and the texture's own promise.
TEST(FrameDevice, FramesFollowEachQuadAndEachUnlocksPromise) {
    TestDevice test(3, 2, 3, 2);
    const auto fill = [&](std::initializer_list<std::uint32_t> texels, bool opaque) {
        test.fillTexture(texels);
        unlockTexture(test.texture, {opaque, 1});
    };
    fill({red, green, red, green, red, green}, true);
    EXPECT_EQ(test.present(), (Pixels{red, green, red, green, red, green}));
    // The quad one pixel to the right: the first column shows the clear colour.
    for (auto& vertex : test.quad->vertices) {
        vertex.x += 1.0f;
    }
    EXPECT_EQ(test.present(), (Pixels{blue, red, green, blue, green, red}));
    // Back in place, with a translucent texel the writer did not promise opaque.
    test.quad->vertices = screenQuad(3, 2);
    fill({red, halfWhite, red, green, red, green}, false);
    EXPECT_EQ(test.present(), (Pixels{red, whiteOverBlue, red, green, red, green}));
    // Shown as it is, then cleared again before the present: only the clear shows.
    fill({red, green, red, green, red, green}, true);
    clearBackBuffer(*test.device, clearColour);
    drawQuad(*test.device);
    clearBackBuffer(*test.device, red);
    presentBackBuffer(*test.device);
    EXPECT_EQ(test.lastFrame(), Pixels(6, red));
}

// A frame shown as the texture itself names the texture (a number no other texture
// has) and its version (one more at each unlock), and passes on what its writer said
// changed; a frame from the back buffer says nothing about changes.
TEST(FrameDevice, AFrameShownAsItsTextureNamesTheTextureVersionAndChanges) {
    struct Recorder final : PictureSurface {
        FrameView frame;
        void showFrame(const FrameView& shown) override { frame = shown; }
        std::uint64_t refreshPeriodNanoseconds() const override { return 0; }
    } recorder;
    TestDevice test(2, 1, 2, 1, &recorder);
    FrameTexture* other = createFrameTexture(test.device, 2, 1);
    FrameTexture* texture = createFrameTexture(test.device, 2, 1);
    test.device->boundTexture = texture;
    const FrameSpan changes[1] = {{1, 2}};
    const auto present = [&] {
        test.present();
        return recorder.frame;
    };
    unlockTexture(texture, {true, 1, changes});
    unlockTexture(texture, {true, 1, changes});
    const FrameView shown = present();
    EXPECT_NE(shown.source, 0u);
    EXPECT_NE(shown.source, other->id);
    EXPECT_EQ(shown.source, texture->id);
    EXPECT_EQ(shown.sequence, 2u);
    EXPECT_EQ(shown.changedGroups, changes);
    unlockTexture(texture, {false, 1, changes}); // blended into the back buffer
    EXPECT_EQ(present().changedGroups, nullptr);
    test.device->boundTexture = test.texture;
    releaseFrameTexture(texture);
    releaseFrameTexture(other);
}
