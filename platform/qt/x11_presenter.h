#pragma once
// Puts pictures into an X window straight from shared memory, on a connection of its
// own. Qt's backing store syncs with the X server before it paints over a part it has
// handed over, which costs the GUI thread a round trip and several wake-ups per frame;
// here the presenting worker writes an image the server has finished with and sends
// only the changed rectangles, and nobody waits: the server's completion event is read
// when the next frame comes.

#include "platform/qt/window_presenter.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <vector>

class X11Presenter final : public WindowPresenter {
  public:
    // A presenter for `window` on the X server named by `display` (null: $DISPLAY), or
    // null when there is none, it lacks shared memory (a remote server) or the window's
    // pixels are not 32-bit little-endian RGB.
    static std::unique_ptr<X11Presenter> connect(const char* display, std::uint32_t window);
    ~X11Presenter() override;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    bool setSize(std::uint32_t width, std::uint32_t height) override;

    void markStale(const std::vector<FrameSpan>& changes) override;
    SharedImage* writableImage() override;
    void put(SharedImage& image, const std::vector<FrameSpan>& spans) override;
    SharedImage* shownImage() override { return shown_; }
    void fill(std::uint32_t colour, std::uint32_t width, std::uint32_t height) override;

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
