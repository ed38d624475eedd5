#include "platform/qt/picture_widget.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {
// Four columns, two rows, every pixel different; one with a clear alpha byte.
const std::array<std::uint32_t, 8> frame = {0xFF102030, 0xFFFF0000, 0xFF00FF00, 0x000000FF,
                                            0xFFFFFFFF, 0xFF808080, 0xFF123456, 0xFFABCDEF};

// Checks that `image` shows `frame` with each pixel as a block of block x block pixels.
void expectBlocks(const QImage& image, int block) {
    ASSERT_EQ(image.size(), QSize(4 * block, 2 * block));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t wanted = frame[static_cast<std::size_t>(y / block * 4 + x / block)];
            ASSERT_EQ(image.pixel(x, y), wanted | 0xFF000000u) << x << "," << y;
        }
    }
}

TEST(PictureWidgetTest, FrameFromAWorkerIsStretchedSharplyUntilCleared) {
    PictureWidget picture;
    picture.resize(12, 6);
    picture.show();
    std::thread([&picture] { picture.showFrame({frame.data(), 4, 2, 4, 1}); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return picture.hasPicture(); }, 5000));
    expectBlocks(picture.grab().toImage().convertToFormat(QImage::Format_RGB32), 3);

    // A high-DPI screen paints in device pixels: blocks of 6 x 6 of them here.
    QImage device(24, 12, QImage::Format_RGB32);
    device.setDevicePixelRatio(2.0);
    picture.render(&device);
    device.setDevicePixelRatio(1.0);
    expectBlocks(device, 6);

    picture.clearPicture();
    EXPECT_FALSE(picture.hasPicture());
    const QImage blank = picture.grab().toImage();
    EXPECT_EQ(blank.pixel(0, 0), picture.palette().window().color().rgb());
    EXPECT_EQ(blank.pixel(11, 5), picture.palette().window().color().rgb());
}

// Shrinking takes the source pixel under each painted pixel's centre: of 6 columns
// painted on 4, columns 0, 2, 3 and 5 (centres 0.75, 2.25, 3.75, 5.25); of 6 rows in
// pairs that repeat (a display's blocks) painted on 3, rows 1, 3 and 5.
TEST(PictureWidgetTest, AShrunkFrameShowsThePixelUnderEachCentre) {
    std::array<std::uint32_t, 7 * 6> shrinking{}; // 6 x 6 pixels, rows 7 apart
    for (std::uint32_t y = 0; y < 6; ++y) {
        for (std::uint32_t x = 0; x < 7; ++x) {
            shrinking[y * 7 + x] = 0xFF000000u | (y / 2) << 8 | x;
        }
    }
    PictureWidget picture;
    picture.resize(4, 3);
    picture.show();
    std::thread([&] { picture.showFrame({shrinking.data(), 6, 6, 7, 2}); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return picture.hasPicture(); }, 5000));
    const QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(4, 3));
    const std::uint32_t columns[4] = {0, 2, 3, 5};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(shown.pixel(x, y), 0xFF000000u | std::uint32_t(y) << 8 | columns[x])
                << x << "," << y;
        }
    }
}
} // namespace
