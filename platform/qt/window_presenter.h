#pragma once
// A way to put pictures into the picture widget's native window without Qt's painting,
// from the presenting worker. The widget asks for one when it starts; where there is
// none (no local X server, or a build without the X11 presenter) it paints through Qt.
// Two images, so that a frame never waits for the one before it to be read.

#include "platform/host.h"

#include <cstdint>
#include <memory>
#include <vector>

// An image in memory the window system reads as well: `width` x `height` pixels, rows
// `width` pixels apart. `stale` holds, for each row, the columns that do not show the
// newest picture yet (all of them when its size is not the number of rows).
struct SharedImage {
    std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<FrameSpan> stale;
    // The window system's name of the memory, and how many puts from it it has not
    // finished.
    std::uint32_t segment = 0;
    int puts = 0;
};

class WindowPresenter {
  public:
    virtual ~WindowPresenter() = default;
    // Both images at width x height, all stale; kept when they have that size already.
    // False when the size is beyond what the window system can address or the memory
    // cannot be had, and then there are no images.
    virtual bool setSize(std::uint32_t width, std::uint32_t height) = 0;
    // Widens the stale columns of both images by each row's `changes`.
    virtual void markStale(const std::vector<FrameSpan>& changes) = 0;
    // An image the window system has finished reading, the one put last when it is;
    // null when both are still being read or there are none.
    virtual SharedImage* writableImage() = 0;
    // Sends `spans` of each row of `image` to the window, rows with equal spans as one
    // rectangle; the image counts as being read until the window system says it is done.
    virtual void put(SharedImage& image, const std::vector<FrameSpan>& spans) = 0;
    // The image put last, which the window shows; null after a fill or a new size.
    virtual SharedImage* shownImage() = 0;
    // Paints the window, width x height pixels, in one colour (0xRRGGBB).
    virtual void fill(std::uint32_t colour, std::uint32_t width, std::uint32_t height) = 0;
};

// GUI thread: whether the program runs where a window presenter may be had (an X
// server), and the presenter for the widget's native window `window`, or null where
// frames cannot go there directly (say, a server on another machine).
#ifdef QUORVIX_X11_PRESENTER
bool windowPresenterPossible();
std::unique_ptr<WindowPresenter> connectWindowPresenter(std::uintptr_t window);
#else
inline bool windowPresenterPossible() {
    return false;
}
inline std::unique_ptr<WindowPresenter> connectWindowPresenter(std::uintptr_t /*window*/) {
    return nullptr;
}
#endif
