#pragma once
// Puts pictures into an X window straight from shared memory, on a connection of its
// own. Qt's backing store syncs with the X server before it paints over a part it has
// handed over, which costs the GUI thread a round trip and several wake-ups per frame;
// here the presenting worker writes an image the server has finished with and sends
// only the changed rectangles, and nobody waits: the server's completion event is read
// when the next frame comes. Two images, so that a frame never waits for the one
// before it to be read.

#include "platform/host.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <vector>

// An image in memory the X server reads as well: `width` x `height` pixels, rows
// `width` pixels apart. `stale` holds, for each row, the columns that do not show the
// newest picture yet (all of them when its size is not the number of rows).
struct SharedImage {
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<FrameSpan> stale;
    // X's name of the segment, and how many puts from it the server has not finished.
    std::uint32_t segment = 0;
    int puts = 0;
};

class X11Presenter {
  public:
    // A presenter for `window` on the X server named by `display` (null: $DISPLAY), or
    // null when there is none, it lacks shared memory (a remote server) or the window's
    // pixels are not 32-bit little-endian RGB.
    static std::unique_ptr<X11Presenter> connect(const char* display, std::uint32_t window);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // Both images at width x height, all stale; kept when they have that size already.
    // False when the size is beyond what X can address or the memory cannot be had,
    // and then there are no images.
    bool setSize(std::uint32_t width, std::uint32_t height);
    std::uint32_t width() const { return images_[0].width; }
    std::uint32_t height() const { return images_[0].height; }

    // Widens the stale columns of both images by each row's `changes`.
    void markStale(const std::vector<FrameSpan>& changes);
    // An image the server has finished reading, the one put last when it is; null when
    // both are still being read or there are none.
    SharedImage* writableImage();
    // Sends `spans` of each row of `image` to the window, rows with equal spans as one
    // rectangle; the image counts as being read until the server says it is done.
    void put(SharedImage& image, const std::vector<FrameSpan>& spans);
    // The image put last, which the window shows; null after a fill or a new size.
    SharedImage* shownImage() { return shown_; }
    // Paints the window, width x height pixels, in one colour (0xRRGGBB).
    void fill(std::uint32_t colour, std::uint32_t width, std::uint32_t height);

  private:
    X11Presenter(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth);
    void releaseImages();
    bool attach(SharedImage& image);
    // Reads the completion events that arrived, without waiting.
    void takeCompletions();

    xcb_connection_t* connection_;
    std::uint32_t window_;
    std::uint32_t context_ = 0;
    std::uint8_t depth_;
    // The type of the event by which the server says a put is done.
    std::uint8_t completionEvent_;
    SharedImage images_[2];
    SharedImage* shown_ = nullptr;
    std::vector<xcb_rectangle_t> rectangles_;
};
