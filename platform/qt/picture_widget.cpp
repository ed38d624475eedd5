#include "platform/qt/picture_widget.h"

#include "platform/qt/frame_spans.h"
#include "platform/qt/window_presenter.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;
const auto frameArrived = static_cast<QEvent::Type>(QEvent::registerEventType());

// The pixels of a shared image, read in place.
QImage viewOf(const SharedImage& image) {
    return QImage(reinterpret_cast<const uchar*>(image.pixels), static_cast<int>(image.width),
                  static_cast<int>(image.height), static_cast<qsizetype>(image.width) * 4,
                  QImage::Format_RGB32);
}

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
    // QUORVIX_QT_PAINTING=1 keeps frames on Qt's painting path, for comparisons.
    directWanted_ =
        windowPresenterPossible() && qEnvironmentVariableIntValue("QUORVIX_QT_PAINTING") == 0;
    if (directWanted_) {
        setAttribute(Qt::WA_NativeWindow, true);
        setAttribute(Qt::WA_PaintOnScreen, true);
        setAttribute(Qt::WA_NoSystemBackground, true);
    }
}

PictureWidget::~PictureWidget() {
    // Before QWidget destroys the X window: no worker may put into it after that.
    std::lock_guard writer(writerMutex_);
    presenter_.reset();
}

QPaintEngine* PictureWidget::paintEngine() const {
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
}

bool PictureWidget::presentsDirectly() {
    std::lock_guard writer(writerMutex_);
    return presenter_ != nullptr;
}

void PictureWidget::startDirectPresenting() {
    if (!directWanted_) {
        return;
    }
    std::unique_ptr<WindowPresenter> presenter = connectWindowPresenter(winId());
    if (!presenter) {
        directWanted_ = false;
        setAttribute(Qt::WA_PaintOnScreen, false);
        setAttribute(Qt::WA_NoSystemBackground, false);
        update();
        return;
    }
    std::lock_guard writer(writerMutex_);
    presenter_ = std::move(presenter);
    unsent_.clear();
    // The window has shown nothing of this presenter's yet: the next frame goes whole.
    wholeFrameWanted_.store(true, std::memory_order_relaxed);
    // A frame that came before the window was shown is shown now, not a frame later.
    std::lock_guard lock(swapMutex_);
    const QImage& newest = readyIsNew_ ? ready_.image : showing_.image;
    if (!cleared_ && putWhole(newest)) {
        windowCleared_ = false;
    }
}

bool PictureWidget::putWhole(const QImage& picture) {
    SharedImage* image = presenter_->setSize(static_cast<std::uint32_t>(picture.width()),
                                             static_cast<std::uint32_t>(picture.height()))
                             ? presenter_->writableImage()
                             : nullptr;
    if (image == nullptr) {
        return false;
    }
    for (std::uint32_t y = 0; y < image->height; ++y) {
        std::memcpy(image->pixels + std::size_t{y} * image->width,
                    picture.constScanLine(static_cast<int>(y)), std::size_t{image->width} * 4);
    }
    presenter_->put(*image, wholeRows(image->width, image->height));
    return true;
}

void PictureWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (directWanted_ && !presentsDirectly()) {
        startDirectPresenting();
    }
}

namespace {
// Nearest-neighbour: painted pixel i of `painted` shows source pixel
// floor((i + 0.5) * source / painted), the one under its centre.
void mapNearest(std::vector<std::uint32_t>& map, std::uint32_t painted, std::uint32_t source) {
    map.resize(painted);
    for (std::uint32_t i = 0; i < painted; ++i) {
        map[i] = static_cast<std::uint32_t>((2 * std::uint64_t{i} + 1) * source / (2 * painted));
    }
}

// One painted row from its source row: pixel i from source pixel columns[i].
void stretchRow(const std::uint32_t* __restrict source, const std::uint32_t* __restrict columns,
                std::uint32_t count, std::uint32_t* __restrict target) {
    for (std::uint32_t i = 0; i < count; ++i) {
        target[i] = source[columns[i]] | 0xFF000000u;
    }
}

std::uint64_t packSize(std::uint32_t width, std::uint32_t height) {
    return std::uint64_t{width} << 32 | height;
}
} // namespace

bool PictureWidget::followsLastFrame(const FrameView& frame, bool mapsChanged) {
    // Taken even when another reason already makes the frame whole, so that a clear
    // asked for meanwhile is not carried over to the frame after.
    const bool wholeWanted = wholeFrameWanted_.exchange(false, std::memory_order_relaxed);
    const bool follows = frame.changedGroups != nullptr && frame.source != 0 &&
                         frame.source == lastSource_ && frame.sequence == lastSequence_ + 1 &&
                         !mapsChanged && !wholeWanted;
    lastSource_ = frame.source;
    lastSequence_ = frame.sequence;
    return follows;
}

void PictureWidget::showFrame(const FrameView& frame) {
    std::lock_guard writer(writerMutex_);
    const std::uint32_t width = frame.width;
    const std::uint32_t height = frame.height;
    const std::uint32_t rowRepeat = std::max<std::uint32_t>(frame.rowRepeat, 1);
    // The one copy of the frame: stretched to the size the widget paints in, so that the
    // paint is a plain copy.
    std::uint64_t paintSize = paintSize_.load(std::memory_order_relaxed);
    if (paintSize == 0) {
        paintSize = packSize(width, height);
    }
    const auto paintWidth = static_cast<std::uint32_t>(paintSize >> 32);
    const auto paintHeight = static_cast<std::uint32_t>(paintSize);
    const auto w = static_cast<int>(paintWidth);
    const auto h = static_cast<int>(paintHeight);
    if (w <= 0 || h <= 0) {
        return; // larger than an image can be
    }
    const bool mapsChanged =
        mappedFrameSize_ != packSize(width, height) || mappedPaintSize_ != paintSize;
    if (mapsChanged) {
        mapNearest(columnSources_, paintWidth, width);
        mapNearest(rowSources_, paintHeight, height);
        mappedFrameSize_ = packSize(width, height);
        mappedPaintSize_ = paintSize;
    }

    // The painted columns of each row this frame changes: those showing the changed
    // source columns when it follows the last frame (the column map rises, so they
    // are a span too), else all of them.
    if (followsLastFrame(frame, mapsChanged)) {
        frameChanges_.resize(paintHeight);
        bool changed = false;
        for (std::uint32_t y = 0; y < paintHeight; ++y) {
            const std::uint32_t group = rowSources_[y] / rowRepeat;
            const FrameSpan source = frame.changedGroups[group];
            FrameSpan& painted = frameChanges_[y];
            if (y > 0 && rowSources_[y - 1] / rowRepeat == group) {
                painted = frameChanges_[y - 1]; // the row above shows the same source row
                continue;
            }
            painted = {};
            if (source.first < source.end) {
                const auto columns = columnSources_.begin();
                painted.first = static_cast<std::uint32_t>(
                    std::lower_bound(columns, columnSources_.end(), source.first) - columns);
                painted.end = static_cast<std::uint32_t>(
                    std::lower_bound(columns, columnSources_.end(), source.end) - columns);
                changed = changed || painted.first < painted.end;
            }
        }
        const bool unsent =
            presenter_ && std::any_of(unsent_.begin(), unsent_.end(),
                                      [](FrameSpan span) { return span.first < span.end; });
        if (!changed && !unsent) {
            return; // the picture shows this frame already
        }
    } else {
        frameChanges_.assign(paintHeight, {0, paintWidth});
    }

    if (presenter_) {
        presentDirectly(frame);
        return;
    }
    if (writing_.image.width() != w || writing_.image.height() != h) {
        writing_.image = QImage(w, h, QImage::Format_RGB32);
        writing_.stale.clear();
    }
    if (writing_.image.isNull()) {
        return;
    }
    widenRows(writing_.stale, frameChanges_, paintWidth);
    writeStaleRows(reinterpret_cast<std::uint32_t*>(writing_.image.bits()),
                   static_cast<std::size_t>(writing_.image.bytesPerLine()) / 4, writing_.stale,
                   frame);
    {
        std::lock_guard lock(swapMutex_);
        widenRows(ready_.stale, frameChanges_, paintWidth);
        widenRows(showing_.stale, frameChanges_, paintWidth);
        if (readyChanged_.size() != paintHeight) {
            readyChanged_.assign(paintHeight, {});
            readyChangedAll_ = true;
        }
        widenRows(readyChanged_, frameChanges_, paintWidth);
        std::swap(writing_, ready_);
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

void PictureWidget::writeStaleRows(std::uint32_t* bits, std::size_t rowStep,
                                   std::vector<FrameSpan>& stale, const FrameView& frame) {
    const std::uint32_t rowRepeat = std::max<std::uint32_t>(frame.rowRepeat, 1);
    // Every texel a display writes is opaque; forcing the alpha byte keeps the RGB32
    // contract (and its fast painting) for any frame. Only what changed since the frame
    // this buffer last held is written.
    for (std::uint32_t y = 0; y < stale.size(); ++y) {
        FrameSpan& columns = stale[y];
        if (columns.first >= columns.end) {
            continue;
        }
        const std::uint32_t count = columns.end - columns.first;
        std::uint32_t* row = bits + y * rowStep + columns.first;
        // A row of the same group of equal source rows as the (up to date) row above is
        // a copy of it.
        const std::uint32_t group = rowSources_[y] / rowRepeat;
        const std::uint32_t* source = frame.pixels + group * rowRepeat * frame.stride;
        if (y > 0 && rowSources_[y - 1] / rowRepeat == group) {
            std::memcpy(row, row - rowStep, std::size_t{count} * 4);
        } else {
            stretchRow(source, columnSources_.data() + columns.first, count, row);
        }
        columns = {};
    }
}

void PictureWidget::presentDirectly(const FrameView& frame) {
    WindowPresenter& presenter = *presenter_;
    const auto paintWidth = static_cast<std::uint32_t>(mappedPaintSize_ >> 32);
    const auto paintHeight = static_cast<std::uint32_t>(mappedPaintSize_);
    if (!presenter.setSize(paintWidth, paintHeight)) {
        return;
    }
    presenter.markStale(frameChanges_);
    widenRows(unsent_, frameChanges_, paintWidth);
    SharedImage* image = presenter.writableImage();
    if (image == nullptr) {
        return; // the server still reads both images: these changes go with the next frame
    }
    writeStaleRows(image->pixels, image->width, image->stale, frame);
    presenter.put(*image, unsent_);
    unsent_.assign(paintHeight, {});
    windowCleared_ = false;
}

bool PictureWidget::event(QEvent* event) {
    if (event != queuedWakeUp_.load(std::memory_order_acquire)) {
        if (event->type() == QEvent::WinIdChange && presentsDirectly()) {
            // Qt made the widget a new X window: the presenter must not put into the old
            // one.
            {
                std::lock_guard writer(writerMutex_);
                presenter_.reset();
            }
            if (internalWinId() != 0) {
                startDirectPresenting();
            }
        }
        return QWidget::event(event);
    }
    queuedWakeUp_.store(nullptr, std::memory_order_relaxed);
    // Before taking the frame: a frame swapped in after the take posts a new wake-up.
    updateQueued_ = false;
    takeNewestFrame();
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
    bool whole = false;
    {
        std::lock_guard lock(swapMutex_);
        if (!readyIsNew_) {
            return;
        }
        std::swap(ready_, showing_);
        readyIsNew_ = false;
        whole = cleared_ || readyChangedAll_;
        cleared_ = false;
        readyChangedAll_ = false;
        takenChanged_.swap(readyChanged_);
        readyChanged_.assign(takenChanged_.size(), {});
    }
    // Painted one to one, the changes are parts of the widget; otherwise (another size,
    // a high-DPI screen) the whole widget is painted again.
    if (whole || devicePixelRatioF() != 1.0 || showing_.image.size() != size() ||
        takenChanged_.size() != static_cast<std::size_t>(height())) {
        update();
        return;
    }
    QRegion changed;
    forEachChangedRectangle(
        takenChanged_, [&](std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
            changed += QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                             static_cast<int>(h));
        });
    // Painted now rather than through a later update request: one pass of the event loop
    // and no wake-up of the GUI thread by itself for each frame.
    repaint(changed);
}

void PictureWidget::clearPicture() {
    {
        std::lock_guard writer(writerMutex_);
        windowCleared_ = true;
        if (presenter_) {
            repaintDirectly();
        }
    }
    {
        std::lock_guard lock(swapMutex_);
        readyIsNew_ = false;
        cleared_ = true;
    }
    wholeFrameWanted_.store(true, std::memory_order_relaxed);
}

QImage PictureWidget::currentPicture() {
    {
        std::lock_guard writer(writerMutex_);
        if (presenter_) {
            const SharedImage* shown = presenter_->shownImage();
            if (windowCleared_ || shown == nullptr) {
                return {};
            }
            return viewOf(*shown).copy();
        }
    }
    takeNewestFrame();
    return cleared_ ? QImage() : showing_.image.copy();
}

QSize PictureWidget::deviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(std::lround(width() * ratio)),
            static_cast<int>(std::lround(height() * ratio))};
}

void PictureWidget::notePaintSize() {
    const QSize size = deviceSize();
    paintSize_.store(size.isEmpty() ? 0
                                    : packSize(static_cast<std::uint32_t>(size.width()),
                                               static_cast<std::uint32_t>(size.height())),
                     std::memory_order_relaxed);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    notePaintSize();
    QWidget::resizeEvent(event);
}

void PictureWidget::repaintDirectly() {
    WindowPresenter& presenter = *presenter_;
    SharedImage* shown = presenter.shownImage();
    const QSize size = deviceSize();
    const auto width = static_cast<std::uint32_t>(size.width());
    const auto height = static_cast<std::uint32_t>(size.height());
    if (windowCleared_ || shown == nullptr) {
        presenter.fill(palette().window().color().rgb() & 0xFFFFFFu, width, height);
        return;
    }
    if (shown->width != width || shown->height != height) {
        // Another size and no frame to fill it (a paused game, say): the last picture
        // stretched until the next frame, which is written whole.
        putWhole(viewOf(*shown).scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        return;
    }
    presenter.put(*shown, wholeRows(width, height));
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    // Also here: a move to a screen of another pixel ratio resizes nothing.
    notePaintSize();
    if (testAttribute(Qt::WA_PaintOnScreen)) {
        if (!presentsDirectly()) {
            startDirectPresenting(); // paints again through Qt when that cannot be done
        }
        std::lock_guard writer(writerMutex_);
        if (presenter_) {
            repaintDirectly();
        }
        return;
    }
    QPainter painter(this);
    if (cleared_ || showing_.image.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    if (showing_.image.size() == size() && devicePixelRatioF() == 1.0) {
        // Frames arrive at the painted size: each part asked for is a plain copy.
        for (const QRect& part : event->region()) {
            painter.drawImage(part.topLeft(), showing_.image, part);
        }
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), showing_.image);
}
