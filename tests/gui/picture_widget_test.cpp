#include "platform/qt/picture_widget.h"

#include <QApplication>
#include <QBackingStore>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <thread>
#include <utility>

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

namespace {
// What the window last painted (its backing store), where the widget is the window.
QImage painted(PictureWidget& picture) {
    QBackingStore* store = picture.backingStore();
    if (store == nullptr || store->paintDevice()->devType() != QInternal::Image) {
        return {};
    }
    return static_cast<const QImage*>(store->paintDevice())
        ->copy(QRect(QPoint(0, 0), picture.size()))
        .convertToFormat(QImage::Format_RGB32);
}

// A 4 x 4 frame of sixteen different greys.
std::array<std::uint32_t, 16> shades() {
    std::array<std::uint32_t, 16> pixels{};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0xFF000000u + std::uint32_t(i) * 0x00101010u;
    }
    return pixels;
}

// A 4 x 4 frame painted in 2 x 2 blocks.
QImage blocksOf(const std::array<std::uint32_t, 16>& pixels) {
    QImage image(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            image.setPixel(x, y, pixels[std::size_t(y / 2 * 4 + x / 2)] | 0xFF000000u);
        }
    }
    return image;
}
} // namespace

// Frames of one display say which columns of which rows changed since the one before:
// only those are copied and painted, through buffers that take turns, so each buffer
// must catch up on everything changed since it last held a frame. A frame that changes one pixel is
// shown; one that says it changes nothing is not copied at all, unless the picture was
// cleared meanwhile.
TEST(PictureWidgetTest, OnlyChangedRowsAreCopiedAndPaintedAndAClearShowsTheNextFrameWhole) {
    PictureWidget picture;
    picture.resize(8, 8);
    picture.show();
    std::array<std::uint32_t, 16> pixels = shades();
    std::array<FrameSpan, 4> changed{};
    std::uint64_t sequence = 0;
    const auto present = [&] {
        ++sequence;
        std::thread([&] {
            picture.showFrame({pixels.data(), 4, 4, 4, 1, 77, sequence, changed.data()});
        }).join();
    };
    const auto expectShown = [&](const QImage& wanted, const char* step) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return picture.hasPicture() && painted(picture) == wanted; }, 5000))
            << step;
        EXPECT_EQ(picture.currentPicture().convertToFormat(QImage::Format_RGB32), wanted) << step;
    };

    changed.fill({0, 4});
    present();
    expectShown(blocksOf(pixels), "first frame");
    // One pixel at a time, in rows 1, 1, 2, 1, 3: (pixel index, colour).
    const std::pair<std::size_t, std::uint32_t> steps[] = {
        {6, 0xFF445566}, {5, 0xFF00FF00}, {9, 0xFF778899}, {4, 0xFFABCDEF}, {15, 0xFF111111}};
    for (const auto& [index, colour] : steps) {
        pixels[index] = colour;
        changed.fill({});
        changed[index / 4] = {std::uint32_t(index % 4), std::uint32_t(index % 4 + 1)};
        present();
        expectShown(blocksOf(pixels), "one pixel changed");
    }

    // Said to change column 3 only: the rest is not copied, so the other new pixel of
    // the row stays unseen; said to change nothing: nothing is copied.
    pixels[3] = 0xFF333333;
    changed.fill({});
    changed[0] = {3, 4};
    const QImage before = blocksOf(pixels);
    pixels[0] = 0xFF0000FF;
    present();
    expectShown(before, "one column said to change");
    pixels[1] = 0xFF0000FF;
    changed.fill({});
    present();
    QTest::qWait(50);
    expectShown(before, "nothing changed");

    // After a clear the next frame is shown whole, even when it changes nothing.
    picture.clearPicture();
    EXPECT_FALSE(picture.hasPicture());
    present();
    expectShown(blocksOf(pixels), "after a clear");
}

// Changes count only for the frame right after the one they were measured against:
// a frame that says nothing about its changes, one from another display and one after
// a frame that never arrived are painted whole, whatever they say they changed.
TEST(PictureWidgetTest, FramesWhoseChangesDoNotFollowTheFrameBeforeArePaintedWhole) {
    PictureWidget picture;
    picture.resize(8, 8);
    picture.show();
    std::array<std::uint32_t, 16> pixels = shades();
    const std::array<FrameSpan, 4> nothing{};
    const auto present = [&](std::uint64_t source, std::uint64_t sequence, bool said) {
        std::thread([&] {
            picture.showFrame(
                {pixels.data(), 4, 4, 4, 1, source, sequence, said ? nothing.data() : nullptr});
        }).join();
    };
    const auto expectPainted = [&](const QImage& wanted, const char* step) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return painted(picture) == wanted; }, 5000)) << step;
    };
    // A mark in the painted picture: it stays as long as its corner is not painted again.
    const auto mark = [&] {
        auto* store = static_cast<QImage*>(picture.backingStore()->paintDevice());
        store->setPixel(7, 7, 0xFF0000FFu);
    };
    QImage marked = blocksOf(pixels);
    marked.setPixel(7, 7, 0xFF0000FFu);

    present(5, 1, false);
    expectPainted(blocksOf(pixels), "first frame");
    mark();
    present(5, 2, true);
    QTest::qWait(50);
    EXPECT_EQ(painted(picture), marked) << "a frame that follows and changes nothing";
    const struct {
        std::uint64_t source, sequence;
        bool said;
        const char* step;
    } wholes[] = {{5, 3, false, "no changes said"},
                  {6, 4, true, "another display"},
                  {6, 6, true, "a frame missed"},
                  {0, 7, true, "no display named"}};
    for (const auto& whole : wholes) {
        mark();
        present(whole.source, whole.sequence, whole.said);
        expectPainted(blocksOf(pixels), whole.step);
    }
}
