#include "platform/qt/picture_widget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>

#include <cstring>

namespace {
constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;
const auto frameArrived = static_cast<QEvent::Type>(QEvent::registerEventType());

std::uint64_t periodOfRate(double hertz) {
    // Rates a screen reports outside 1-1000 Hz are not believable; take 60 Hz then.
    if (!(hertz >= 1.0 && hertz <= 1000.0)) {
        hertz = 60.0;
    }
    return static_cast<std::uint64_t>(static_cast<double>(nanosecondsPerSecond) / hertz);
}
} // namespace

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent), refreshPeriod_(periodOfRate(0.0)) {
    // paintEvent covers every pixel itself, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setMinimumSize(1, 1);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureWidget::showFrame(const std::uint32_t* pixels, std::uint32_t width,
                              std::uint32_t height) {
    std::lock_guard writer(writerMutex_);
    const auto w = static_cast<int>(width);
    const auto h = static_cast<int>(height);
    if (writing_.width() != w || writing_.height() != h) {
        writing_ = QImage(w, h, QImage::Format_RGB32);
    }
    if (writing_.isNull()) {
        return;
    }
    // Every texel a display writes is opaque; forcing the alpha byte keeps the RGB32
    // contract (and its fast painting) for any frame.
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(writing_.scanLine(y));
        const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < w; ++x) {
            row[x] = source[x] | 0xFF000000u;
        }
    }
    {
        std::lock_guard lock(swapMutex_);
        writing_.swap(ready_);
        readyIsNew_ = true;
    }
    // One wake-up per painted frame at most; the event carries nothing, the frame
    // travels through the buffers above.
    if (!updateQueued_.exchange(true)) {
        auto* wakeUp = new QEvent(frameArrived);
        // The event is recognised by its address, published here before Qt's queue hands
        // it over: Qt's queue synchronises through code no race checker can see, so
        // the GUI thread must not read the event before this acquire/release pair.
        queuedWakeUp_.store(wakeUp, std::memory_order_release);
        QCoreApplication::postEvent(this, wakeUp);
    }
}

bool PictureWidget::event(QEvent* event) {
    if (event != queuedWakeUp_.load(std::memory_order_acquire)) {
        return QWidget::event(event);
    }
    queuedWakeUp_.store(nullptr, std::memory_order_relaxed);
    updateQueued_ = false;
    update();
    return true;
}

std::uint64_t PictureWidget::refreshPeriodNanoseconds() const {
    return refreshPeriod_.load(std::memory_order_relaxed);
}

void PictureWidget::updateRefreshRate() {
    const QScreen* shownOn = screen();
    refreshPeriod_.store(periodOfRate(shownOn != nullptr ? shownOn->refreshRate() : 0.0));
}

void PictureWidget::takeNewestFrame() {
    std::lock_guard lock(swapMutex_);
    if (readyIsNew_) {
        ready_.swap(showing_);
        readyIsNew_ = false;
        cleared_ = false;
    }
}

void PictureWidget::clearPicture() {
    std::lock_guard lock(swapMutex_);
    readyIsNew_ = false;
    cleared_ = true;
}

bool PictureWidget::hasPicture() {
    takeNewestFrame();
    return !cleared_ && !showing_.isNull();
}

QImage PictureWidget::currentPicture() {
    takeNewestFrame();
    return cleared_ ? QImage() : showing_.copy();
}

void PictureWidget::paintEvent(QPaintEvent*) {
    takeNewestFrame();
    QPainter painter(this);
    if (cleared_ || showing_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), showing_);
}
