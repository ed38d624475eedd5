#include "platform/qt/x11_presenter.h"

#include "platform/qt/frame_spans.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {
// X coordinates and sizes are 16-bit, signed where they are positions.
constexpr std::uint32_t largestSide = 32767;

template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> ReplyPointer<Reply> owned(Reply* reply) {
    return {reply, &std::free};
}

const xcb_visualtype_t* findVisual(const xcb_setup_t* setup, xcb_visualid_t id) {
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem > 0;
         xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem > 0;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == id) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

std::uint8_t bitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth) {
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth) {
            return formats.data->bits_per_pixel;
        }
    }
    return 0;
}

// Whether the window's pixels are what a frame holds: 32 bits, blue in the low byte,
// so that frame rows go to the server as they are.
bool takesFramePixels(xcb_connection_t* connection, xcb_window_t window, std::uint8_t& depth) {
    const auto geometry =
        owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    const auto attributes = owned(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!geometry || !attributes) {
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_visualtype_t* visual = findVisual(setup, attributes->visual);
    depth = geometry->depth;
    return visual != nullptr && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
           visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
           visual->blue_mask == 0xFF && (depth == 24 || depth == 32) &&
           bitsPerPixel(setup, depth) == 32 && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
}
} // namespace

std::unique_ptr<X11Presenter> X11Presenter::connect(const char* display, std::uint32_t window) {
    // Disconnected on every way out until the presenter owns the connection.
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(display, nullptr), &xcb_disconnect);
    std::uint8_t depth = 0;
    if (xcb_connection_has_error(connection.get()) != 0 ||
        !owned(xcb_shm_query_version_reply(connection.get(),
                                           xcb_shm_query_version(connection.get()), nullptr)) ||
        !takesFramePixels(connection.get(), window, depth)) {
        return nullptr;
    }
    // The connection is handed over only once the memory for the presenter was had.
    std::unique_ptr<X11Presenter> presenter(new (std::nothrow)
                                                X11Presenter(connection.release(), window, depth));
    if (!presenter) {
        return nullptr;
    }
    // A server on another machine has the extension but cannot see our memory.
    if (!presenter->setSize(1, 1)) {
        return nullptr;
    }
    presenter->releaseImages();
    return presenter;
}

bool windowPresenterPossible() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

std::unique_ptr<WindowPresenter> connectWindowPresenter(std::uintptr_t window) {
    // The presenter's own connection must find the window Qt has just asked the server
    // to make: a round trip on Qt's connection makes sure the server has made it.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr) {
        xcb_connection_t* qtConnection = x11->connection();
        std::free(
            xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection), nullptr));
    }
    return X11Presenter::connect(nullptr, static_cast<std::uint32_t>(window));
}

X11Presenter::X11Presenter(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth)
    : connection_(connection), window_(window), depth_(depth),
      completionEvent_(static_cast<std::uint8_t>(
          xcb_get_extension_data(connection, &xcb_shm_id)->first_event + XCB_SHM_COMPLETION)) {
    context_ = xcb_generate_id(connection_);
    // A put makes no exposure events; none are wanted from fills either.
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, context_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
}

X11Presenter::~X11Presenter() {
    releaseImages();
    // The server frees the context and detaches the segments with the connection.
    xcb_disconnect(connection_);
}

void X11Presenter::releaseImages() {
    for (SharedImage& image : images_) {
        if (image.pixels != nullptr) {
            // The server finishes the puts before it detaches, and it has its own mapping.
            xcb_shm_detach(connection_, image.segment);
            shmdt(image.pixels);
        }
        image = SharedImage{};
    }
    shown_ = nullptr;
}

bool X11Presenter::attach(SharedImage& image) {
    const std::size_t bytes = std::size_t{image.width} * image.height * 4;
    const int memoryId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (memoryId < 0) {
        return false;
    }
    void* memory = shmat(memoryId, nullptr, 0);
    bool attached = false;
    if (memory != reinterpret_cast<void*>(-1)) {
        image.pixels = static_cast<std::uint32_t*>(memory);
        image.segment = xcb_generate_id(connection_);
        xcb_generic_error_t* error = xcb_request_check(
            connection_, xcb_shm_attach_checked(connection_, image.segment,
                                                static_cast<std::uint32_t>(memoryId), 1));
        attached = error == nullptr;
        std::free(error);
        if (!attached) {
            shmdt(memory);
            image.pixels = nullptr;
        }
    }
    // Marked for removal at once: the segment goes when the last of us and the server
    // lets go of it, even if the program ends abruptly.
    shmctl(memoryId, IPC_RMID, nullptr);
    return attached;
}

bool X11Presenter::setSize(std::uint32_t width, std::uint32_t height) {
    if (images_[0].pixels != nullptr && width == images_[0].width && height == images_[0].height) {
        return true;
    }
    releaseImages();
    if (width == 0 || height == 0 || width > largestSide || height > largestSide) {
        return false;
    }
    for (SharedImage& image : images_) {
        image.width = width;
        image.height = height;
        if (!attach(image)) {
            releaseImages();
            return false;
        }
    }
    return true;
}

void X11Presenter::markStale(const std::vector<FrameSpan>& changes) {
    for (SharedImage& image : images_) {
        widenRows(image.stale, changes, image.width);
    }
}

void X11Presenter::takeCompletions() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        // Errors (say, the window went before this presenter) need nothing done.
        if ((event->response_type & 0x7F) == completionEvent_) {
            const auto* done = reinterpret_cast<const xcb_shm_completion_event_t*>(event);
            for (SharedImage& image : images_) {
                if (image.pixels != nullptr && image.segment == done->shmseg && image.puts > 0) {
                    --image.puts;
                }
            }
        }
        std::free(event);
    }
}

SharedImage* X11Presenter::writableImage() {
    if (images_[0].pixels == nullptr) {
        return nullptr;
    }
    takeCompletions();
    if (shown_ != nullptr && shown_->puts == 0) {
        return shown_;
    }
    for (SharedImage& image : images_) {
        if (image.puts == 0) {
            return &image;
        }
    }
    return nullptr;
}

void X11Presenter::put(SharedImage& image, const std::vector<FrameSpan>& spans) {
    shown_ = &image;
    rectangles_.clear();
    forEachChangedRectangle(
        spans, [&](std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
            // Spans come from rows of this image's size (checked, as a put outside the image
            // would be refused by the server and its completion never come).
            if (x + width <= image.width && y + height <= image.height) {
                rectangles_.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                       static_cast<std::uint16_t>(width),
                                       static_cast<std::uint16_t>(height)});
            }
        });
    for (std::size_t i = 0; i < rectangles_.size(); ++i) {
        const xcb_rectangle_t part = rectangles_[i];
        // Requests are carried out in order: the completion event of the last put says
        // the server has read all of this frame.
        const std::uint8_t sendEvent = i + 1 == rectangles_.size() ? 1 : 0;
        xcb_shm_put_image(connection_, window_, context_, static_cast<std::uint16_t>(image.width),
                          static_cast<std::uint16_t>(image.height),
                          static_cast<std::uint16_t>(part.x), static_cast<std::uint16_t>(part.y),
                          part.width, part.height, part.x, part.y, depth_,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, sendEvent, image.segment, 0);
    }
    if (!rectangles_.empty()) {
        ++image.puts;
        xcb_flush(connection_);
    }
}

void X11Presenter::fill(std::uint32_t colour, std::uint32_t width, std::uint32_t height) {
    shown_ = nullptr;
    const std::uint32_t foreground = colour;
    xcb_change_gc(connection_, context_, XCB_GC_FOREGROUND, &foreground);
    // The window's own size: a larger rectangle ends past what the server's 16-bit
    // damage boxes hold, and a software cursor would then put back stale pixels.
    const xcb_rectangle_t everything{0, 0, static_cast<std::uint16_t>(std::min(width, largestSide)),
                                     static_cast<std::uint16_t>(std::min(height, largestSide))};
    xcb_poly_fill_rectangle(connection_, window_, context_, 1, &everything);
    xcb_flush(connection_);
}
