#pragma once
// The main window's client area as a picture surface: it keeps the last presented
// frame and paints it stretched over the whole widget, nearest-neighbour sampled.
// Without a frame it shows the plain window background. What a frame did not change is
// neither copied again nor repainted; a frame that changes nothing costs nothing.
// Where a window presenter can be had (an X server with shared memory on this machine),
// the presenting worker puts frames into the widget's own window itself; elsewhere
// (Wayland, offscreen, a remote X server) they go through Qt's painting on the GUI
// thread.

#include "platform/host.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class WindowPresenter;

class PictureWidget final : public QWidget, public PictureSurface {
  public:
    explicit PictureWidget(QWidget* parent = nullptr);
    ~PictureWidget() override;
    PictureWidget(const PictureWidget&) = delete;
    PictureWidget& operator=(const PictureWidget&) = delete;

    // Any thread. Copies what the frame changed, stretched nearest-neighbour to the size
    // the widget paints in, and queues a repaint of it; waits only for the short swap
    // lock, never for the GUI thread.
    void showFrame(const FrameView& frame) override;
    std::uint64_t refreshPeriodNanoseconds() const override;

    // GUI thread: forget the frame, so the background shows until the next one.
    void clearPicture();
    // GUI thread: whether a frame is shown, and a copy of it (for checks and tests).
    bool hasPicture() { return !currentPicture().isNull(); }
    QImage currentPicture();
    // GUI thread: the refresh rate of the screen the widget is on, 60 Hz when unknown.
    void updateRefreshRate();
    // Whether frames go to the widget's X window without Qt's painting.
    bool presentsDirectly();
    // Null while frames are put into the X window directly: nothing paints through Qt.
    QPaintEngine* paintEngine() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // A buffer and, for each of its rows, the painted columns that do not show the
    // newest frame yet.
    struct Picture {
        QImage image;
        std::vector<FrameSpan> stale;
    };

    // GUI thread: makes the newest frame the one shown and asks for a repaint of the
    // parts in which it differs from the one shown before.
    void takeNewestFrame();
    // GUI thread: the widget's size in device pixels.
    QSize deviceSize() const;
    // GUI thread: notes the widget's size in device pixels for the frames to come.
    void notePaintSize();
    // Under writerMutex_: writes the `stale` columns of each row of a buffer of the
    // mapped paint size from `frame`, and marks them up to date.
    void writeStaleRows(std::uint32_t* bits, std::size_t rowStep, std::vector<FrameSpan>& stale,
                        const FrameView& frame);
    // Under writerMutex_: puts the frame's changes into the X window, with any that
    // earlier frames could not send.
    void presentDirectly(const FrameView& frame);
    // GUI thread: connects the presenter to the widget's X window once it has one, or
    // falls back to Qt's painting for good when that cannot be done.
    void startDirectPresenting();
    // GUI thread, under writerMutex_: puts a picture of this widget's into the window whole,
    // through an image of its size; false when that cannot be had.
    bool putWhole(const QImage& picture);
    // GUI thread, under writerMutex_: shows the last picture, or the background, again.
    void repaintDirectly();
    // Under writerMutex_: whether the frame's own changes say, for each group of its
    // rows, where it differs from the frame shown before. Notes the frame as the last one.
    bool followsLastFrame(const FrameView& frame, bool mapsChanged);

    // Three buffers: the worker fills `writing_`, then swaps it with `ready_` under the
    // lock; the GUI thread swaps `ready_` into `showing_` before painting. Neither side
    // copies pixels while holding the lock.
    std::mutex writerMutex_; // one presenting worker at a time
    Picture writing_;
    std::mutex swapMutex_;
    Picture ready_;
    bool readyIsNew_ = false;
    // Under swapMutex_ (also the `stale` of ready_ and showing_): the painted columns of
    // each row in which `ready_` differs from `showing_`, or all of them.
    std::vector<FrameSpan> readyChanged_;
    bool readyChangedAll_ = true;
    bool cleared_ = false;
    Picture showing_;
    // GUI thread: the changes taken with the newest frame.
    std::vector<FrameSpan> takenChanged_;
    // Set by clearPicture: the next frame is copied and painted whole, changed or not.
    std::atomic<bool> wholeFrameWanted_{false};
    std::atomic<bool> updateQueued_{false};
    std::atomic<QEvent*> queuedWakeUp_{nullptr};
    std::atomic<std::uint64_t> refreshPeriod_;
    // The size the widget paints in, device pixels, width << 32 | height; 0 before it is
    // known, when frames keep their own size.
    std::atomic<std::uint64_t> paintSize_{0};
    // Under writerMutex_: the source pixel of each painted column and row, for the
    // frame size and paint size they were worked out for.
    std::uint64_t mappedFrameSize_ = 0;
    std::uint64_t mappedPaintSize_ = 0;
    std::vector<std::uint32_t> columnSources_;
    std::vector<std::uint32_t> rowSources_;
    // Under writerMutex_: the painted columns of each row the frame being shown changes,
    // and where the last frame came from.
    std::vector<FrameSpan> frameChanges_;
    std::uint64_t lastSource_ = 0;
    std::uint64_t lastSequence_ = 0;
    // GUI thread: whether frames are meant to go straight to the X window, which needs
    // a native window of the widget's own, made at construction.
    bool directWanted_ = false;
    // Under writerMutex_: the presenter once started; the painted columns of each row
    // changed by frames and not sent yet; whether the window shows the background.
    std::unique_ptr<WindowPresenter> presenter_;
    std::vector<FrameSpan> unsent_;
    bool windowCleared_ = true;
};
