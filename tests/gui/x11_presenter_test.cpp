// Shared-memory puts into a window of a virtual X server of the test's own, checked by
// reading the window's pixels back on a second connection.

#include "platform/qt/x11_presenter.h"
#include "tests/support/ints.h"
#include "tests/support/virtual_x_server.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {
constexpr std::uint32_t windowWidth = 32;
constexpr std::uint32_t windowHeight = 12;
constexpr std::uint32_t marker = 0x3366CC;

template <typename Reply> std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

// Asks a few milliseconds apart, ten seconds at most, until `done` holds.
bool waitUntil(const std::function<bool()>& done) {
    for (int tries = 0; tries < 5000; ++tries) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Every pixel different, with a top byte that a depth-24 window does not keep.
std::uint32_t gradient(std::uint32_t x, std::uint32_t y) {
    return 0xA5000000u | x << 16 | y << 8 | ((x * 7 + y * 29) & 0xFF);
}

void paint(SharedImage& image,
           const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& pixel) {
    for (std::uint32_t i = 0; i < image.width * image.height; ++i) {
        image.pixels[i] = pixel(i % image.width, i / image.width);
    }
}

std::vector<FrameSpan> rows(std::uint32_t count, FrameSpan span) {
    return std::vector<FrameSpan>(count, span);
}

class X11PresenterTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = std::make_unique<VirtualXServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        if (server_->display().empty()) {
            GTEST_SKIP() << "Xvfb is not installed or did not start";
        }
        connection_ = xcb_connect(server_->display().c_str(), nullptr);
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        ASSERT_EQ(screen_->root_depth, 24);
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen_->root, 0, 0,
                          windowWidth, windowHeight, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen_->root_visual, 0, nullptr);
        xcb_map_window(connection_, window_);
        // Without a window manager the map is done by the time the next reply comes.
        const auto attributes = owned(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window_), nullptr));
        ASSERT_TRUE(attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE);
        presenter_ = X11Presenter::connect(server_->display().c_str(), window_);
        ASSERT_NE(presenter_, nullptr);
    }

    void TearDown() override {
        presenter_.reset();
        if (connection_ != nullptr) {
            xcb_disconnect(connection_);
        }
    }

    // Whether the window shows `wanted(x, y)` (0xRRGGBB) everywhere. A fill has no
    // completion event, so the window is read until it does or time is up.
    bool shows(const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& wanted) {
        return waitUntil([&] {
            const auto image = owned(
                xcb_get_image_reply(connection_,
                                    xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_,
                                                  0, 0, windowWidth, windowHeight, ~0u),
                                    nullptr));
            if (!image ||
                xcb_get_image_data_length(image.get()) != windowWidth * windowHeight * 4) {
                return false;
            }
            std::vector<std::uint32_t> pixels(windowWidth * windowHeight);
            std::memcpy(pixels.data(), xcb_get_image_data(image.get()), pixels.size() * 4);
            for (std::uint32_t i = 0; i < pixels.size(); ++i) {
                if ((pixels[i] & 0xFFFFFF) !=
                    (wanted(i % windowWidth, i / windowWidth) & 0xFFFFFF)) {
                    return false;
                }
            }
            return true;
        });
    }

    // Waits until the server has said it finished reading `image`.
    bool finished(const SharedImage& image) {
        return waitUntil([&] {
            presenter_->writableImage();
            return image.puts == 0;
        });
    }

    // While the test holds the server, nobody else's requests are carried out. The
    // reply comes once the grab or ungrab is done.
    void holdServer(bool hold) {
        (hold ? xcb_grab_server : xcb_ungrab_server)(connection_);
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    static inline std::unique_ptr<VirtualXServer> server_;
    xcb_connection_t* connection_ = nullptr;
    const xcb_screen_t* screen_ = nullptr;
    xcb_window_t window_ = 0;
    std::unique_ptr<X11Presenter> presenter_;
};
TEST_F(X11PresenterTest, PutsShowTheImageInTheWholeWindowOrJustInsideTheSpansAfterAFill) {
    ASSERT_TRUE(presenter_->setSize(windowWidth, windowHeight));
    SharedImage* image = presenter_->writableImage();
    ASSERT_NE(image, nullptr);
    paint(*image, gradient);
    presenter_->put(*image, rows(windowHeight, {0, windowWidth}));
    ASSERT_TRUE(finished(*image));
    EXPECT_TRUE(shows(gradient));
    EXPECT_EQ(presenter_->shownImage(), image);

    presenter_->fill(marker, windowWidth, windowHeight);
    EXPECT_EQ(presenter_->shownImage(), nullptr);
    EXPECT_TRUE(shows([](std::uint32_t, std::uint32_t) { return marker; }));
    EXPECT_EQ(presenter_->writableImage(), image);
    paint(*image, [](std::uint32_t x, std::uint32_t y) { return ~gradient(x, y); });
    // Rows 0 and 1 make one rectangle, row 2 has none, then single rows of all kinds.
    std::vector<FrameSpan> spans = rows(windowHeight, {0, 0});
    spans[0] = spans[1] = {3, 9};
    spans[3] = {5, 6};
    spans[4] = {0, windowWidth};
    spans[5] = {windowWidth - 1, windowWidth};
    spans[6] = {3, 10};
    spans[10] = {1, 2};
    // The server refuses a put outside the image and never reports it finished, so such
    // spans must not keep the image busy. Row 11 holds the marker where one would show.
    std::vector<FrameSpan> outside = spans;
    outside[11] = {20, windowWidth + 8};
    for (std::uint32_t x = 20; x < windowWidth; ++x) {
        image->pixels[11 * windowWidth + x] = marker;
    }
    presenter_->put(*image, outside);
    ASSERT_TRUE(finished(*image));
    outside.assign(windowHeight + 1, {0, 0});
    outside.back() = {0, 4};
    presenter_->put(*image, outside);
    ASSERT_TRUE(finished(*image));
    EXPECT_TRUE(shows([&](std::uint32_t x, std::uint32_t y) {
        return x >= spans[y].first && x < spans[y].end ? ~gradient(x, y) : marker;
    }));
}

TEST_F(X11PresenterTest, ImagesTheServerStillReadsAreNotHandedOut) {
    ASSERT_TRUE(presenter_->setSize(windowWidth, windowHeight));
    SharedImage* first = presenter_->writableImage();
    ASSERT_NE(first, nullptr);
    // Held, the server carries out none of the presenter's requests, yet puts return.
    holdServer(true);
    presenter_->put(*first, rows(windowHeight, {0, windowWidth}));
    SharedImage* second = presenter_->writableImage();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    presenter_->put(*second, rows(windowHeight, {2, 5}));
    EXPECT_EQ(presenter_->writableImage(), nullptr);
    EXPECT_EQ(presenter_->writableImage(), nullptr);
    holdServer(false);

    ASSERT_TRUE(finished(*first) && finished(*second));
    // Both are free now; the one the window shows is to be written next.
    EXPECT_EQ(presenter_->shownImage(), second);
    EXPECT_EQ(presenter_->writableImage(), second);
}

TEST_F(X11PresenterTest, BothImagesGatherChangesUntilANewSizeMakesThemWhollyStale) {
    ASSERT_TRUE(presenter_->setSize(windowWidth, windowHeight));
    // Both images: the second is handed out while the first is being read.
    SharedImage* first = presenter_->writableImage();
    holdServer(true);
    presenter_->put(*first, rows(windowHeight, {0, windowWidth}));
    SharedImage* second = presenter_->writableImage();
    holdServer(false);
    ASSERT_TRUE(finished(*first));
    first->stale = second->stale = rows(windowHeight, {0, 0});
    std::vector<FrameSpan> changes = rows(windowHeight, {0, 0});
    changes[1] = {4, 8};
    presenter_->markStale(changes);
    // The first is brought up to date and put; the second is not.
    first->stale = rows(windowHeight, {0, 0});
    changes[1] = {10, 12};
    changes[2] = {0, 3};
    presenter_->markStale(changes);
    EXPECT_EQ(first->stale, changes);
    std::vector<FrameSpan> wanted = changes;
    wanted[1] = {4, 12};
    EXPECT_EQ(second->stale, wanted);

    // The same size keeps the images, what they hold and what they lack.
    paint(*first, gradient);
    std::uint32_t* pixels = first->pixels;
    ASSERT_TRUE(presenter_->setSize(windowWidth, windowHeight));
    EXPECT_EQ(first->pixels, pixels);
    EXPECT_EQ(first->pixels[windowWidth * 3 + 7], gradient(7, 3));
    EXPECT_EQ(second->stale, wanted);

    // As many rows as before, so stale rows left over would still fit.
    ASSERT_TRUE(presenter_->setSize(20, windowHeight));
    EXPECT_EQ(ints(first->width, second->width), ints(20, 20));
    EXPECT_EQ(presenter_->shownImage(), nullptr);
    presenter_->markStale(rows(windowHeight, {0, 0}));
    EXPECT_EQ(first->stale, rows(windowHeight, {0, 20}));
    EXPECT_EQ(second->stale, rows(windowHeight, {0, 20}));
}

TEST_F(X11PresenterTest, SidesXCannotAddressLeaveNoImagesUntilAGoodSize) {
    const std::pair<std::uint32_t, std::uint32_t> refused[] = {
        {0, 5}, {20, 0}, {32768, 1}, {1, 32768}};
    for (const auto& [width, height] : refused) {
        ASSERT_TRUE(presenter_->setSize(4, 4));
        EXPECT_FALSE(presenter_->setSize(width, height)) << width << "x" << height;
        EXPECT_EQ(presenter_->writableImage(), nullptr);
    }
    ASSERT_TRUE(presenter_->setSize(32767, 1));
    ASSERT_TRUE(presenter_->setSize(3, 2));
    SharedImage* image = presenter_->writableImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 3u);
    EXPECT_EQ(image->height, 2u);
}

TEST_F(X11PresenterTest, ConnectRefusesMissingServersAndWindowsAndOtherPixels) {
    EXPECT_EQ(X11Presenter::connect(":987", window_), nullptr);
    EXPECT_EQ(X11Presenter::connect(server_->display().c_str(), xcb_generate_id(connection_)),
              nullptr);

    // A 24-bit window whose pixels index colour maps instead of being colours.
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (depths.data->depth != 24 || visuals.data->_class != XCB_VISUAL_CLASS_DIRECT_COLOR) {
                continue;
            }
            const xcb_colormap_t colours = xcb_generate_id(connection_);
            xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, colours, screen_->root,
                                visuals.data->visual_id);
            const xcb_window_t direct = xcb_generate_id(connection_);
            const auto error = owned(xcb_request_check(
                connection_,
                xcb_create_window_checked(connection_, 24, direct, screen_->root, 0, 0, 8, 8, 0,
                                          XCB_WINDOW_CLASS_INPUT_OUTPUT, visuals.data->visual_id,
                                          XCB_CW_COLORMAP, &colours)));
            ASSERT_EQ(error, nullptr);
            EXPECT_EQ(X11Presenter::connect(server_->display().c_str(), direct), nullptr);
            return;
        }
    }
}
} // namespace
