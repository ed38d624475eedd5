#pragma once
// The main window's client area as a picture surface: it keeps the last presented
// frame and paints it stretched over the whole widget, nearest-neighbour sampled.
// Without a frame it shows the plain window background.

#include "platform/host.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class PictureWidget final : public QWidget, public PictureSurface {
  public:
    explicit PictureWidget(QWidget* parent = nullptr);

    // Any thread. Copies the frame, stretched nearest-neighbour to the size the widget
    // paints in, and queues a repaint; waits only for the short swap lock, never for the
    // GUI thread.
    void showFrame(const FrameView& frame) override;
    std::uint64_t refreshPeriodNanoseconds() const override;

    // GUI thread: forget the frame, so the background shows until the next one.
    void clearPicture();
    // GUI thread: whether a frame is shown, and a copy of it (for checks and tests).
    bool hasPicture();
    QImage currentPicture();
    // GUI thread: the refresh rate of the screen the widget is on, 60 Hz when unknown.
    void updateRefreshRate();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void takeNewestFrame();
    // GUI thread: notes the widget's size in device pixels for the frames to come.
    void notePaintSize();

    // Three buffers: the worker fills `writing_`, then swaps it with `ready_` under the
    // lock; the GUI thread swaps `ready_` into `showing_` before painting. Neither side
    // copies pixels while holding the lock.
    std::mutex writerMutex_; // one presenting worker at a time
    QImage writing_;
    std::mutex swapMutex_;
    QImage ready_;
    bool readyIsNew_ = false;
    bool cleared_ = false;
    QImage showing_;
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
};
