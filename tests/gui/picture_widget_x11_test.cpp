// The picture widget on a real X server, where the presenting worker puts frames into
// the widget's X window itself. What the window shows is read back from the server.

#include "platform/qt/picture_widget.h"
#include "tests/support/virtual_x_server.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {
std::unique_ptr<VirtualXServer> server;
std::unique_ptr<QApplication> application;

// Four columns, two rows, every pixel different.
const std::array<std::uint32_t, 8> frame = {0xFF102030, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                            0xFFFFFFFF, 0xFF808080, 0xFF123456, 0xFFABCDEF};

// `frame` with each pixel as a block of block x block pixels, `changed` at index 5.
QImage blocks(int block, std::uint32_t changed = 0xFF808080) {
    QImage image(4 * block, 2 * block, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const auto index = static_cast<std::size_t>(y / block * 4 + x / block);
            image.setPixel(x, y, index == 5 ? changed : frame[index]);
        }
    }
    return image;
}

QImage windowContent(PictureWidget& picture) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(picture.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

bool shows(PictureWidget& picture, const QImage& wanted) {
    return QTest::qWaitFor([&] { return windowContent(picture) == wanted; }, 5000);
}

void presentFromAWorker(PictureWidget& picture, const std::uint32_t* pixels) {
    std::thread([&] { picture.showFrame({pixels, 4, 2, 4, 1}); }).join();
}

class PictureWidgetOnXTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!application) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
    }
};

// A worker's frame reaches the window without the GUI thread; so does a frame that
// changes one pixel. A clear shows the background; a new size without a frame shows
// the last picture stretched, and damage to the window is painted over again.
TEST_F(PictureWidgetOnXTest, FramesGoStraightToTheWindowAndStayThere) {
    PictureWidget picture;
    picture.resize(12, 6);
    picture.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picture));
    ASSERT_TRUE(picture.presentsDirectly());

    std::array<std::uint32_t, 8> pixels = frame;
    presentFromAWorker(picture, pixels.data());
    EXPECT_TRUE(shows(picture, blocks(3)));
    EXPECT_TRUE(picture.hasPicture());
    EXPECT_EQ(picture.currentPicture(), blocks(3));

    pixels[5] = 0xFF445566;
    presentFromAWorker(picture, pixels.data());
    EXPECT_TRUE(shows(picture, blocks(3, 0xFF445566)));

    picture.clearPicture();
    EXPECT_FALSE(picture.hasPicture());
    QImage background(12, 6, QImage::Format_RGB32);
    background.fill(picture.palette().window().color());
    EXPECT_TRUE(shows(picture, background));

    presentFromAWorker(picture, pixels.data());
    EXPECT_TRUE(shows(picture, blocks(3, 0xFF445566)));
    picture.resize(20, 10);
    EXPECT_TRUE(shows(picture, blocks(5, 0xFF445566)));

    // Another client paints over the window, then the server reports it exposed.
    xcb_connection_t* other = xcb_connect(server->display().c_str(), nullptr);
    const auto window = static_cast<xcb_window_t>(picture.winId());
    const xcb_gcontext_t context = xcb_generate_id(other);
    const std::uint32_t black = 0;
    xcb_create_gc(other, context, window, XCB_GC_FOREGROUND, &black);
    const xcb_rectangle_t everything{0, 0, 20, 10};
    xcb_poly_fill_rectangle(other, window, context, 1, &everything);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    xcb_clear_area(other, 1, window, 0, 0, 0, 0);
    xcb_flush(other);
    EXPECT_TRUE(shows(picture, blocks(5, 0xFF445566)));
    xcb_disconnect(other);
}

// A frame that came before the window was shown is shown with the window, without
// waiting for another.
TEST_F(PictureWidgetOnXTest, AFrameFromBeforeTheWindowShowsWithIt) {
    PictureWidget picture;
    picture.resize(12, 6);
    presentFromAWorker(picture, frame.data());
    picture.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picture));
    ASSERT_TRUE(picture.presentsDirectly());
    EXPECT_TRUE(picture.hasPicture());
    EXPECT_TRUE(shows(picture, blocks(3)));
}

// Asked for, frames take Qt's painting instead, and still reach the window.
TEST_F(PictureWidgetOnXTest, QtsPaintingCanBeKept) {
    qputenv("QUORVIX_QT_PAINTING", "1");
    PictureWidget picture;
    qunsetenv("QUORVIX_QT_PAINTING");
    picture.resize(12, 6);
    picture.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picture));
    EXPECT_FALSE(picture.presentsDirectly());
    presentFromAWorker(picture, frame.data());
    EXPECT_TRUE(shows(picture, blocks(3)));
}
} // namespace

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no X server.
    if (!::testing::GTEST_FLAG(list_tests)) {
        server = std::make_unique<VirtualXServer>();
        if (!server->display().empty()) {
            qputenv("DISPLAY", server->display().c_str());
            qputenv("QT_QPA_PLATFORM", "xcb");
            application = std::make_unique<QApplication>(argc, argv);
        }
    }
    const int result = RUN_ALL_TESTS();
    application.reset();
    server.reset();
    return result;
}
