#include "platform/qt/picture_widget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

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

namespace {
// Nearest-neighbour: painted pixel i of `painted` shows source pixel
// floor((i + 0.5) * source / painted), the one under its centre.
void mapNearest(std::vector<std::uint32_t>& map, std::uint32_t painted, std::uint32_t source) {
    map.resize(painted);
    for (std::uint32_t i = 0; i < painted; ++i) {
        map[i] = static_cast<std::uint32_t>((2 * std::uint64_t{i} + 1) * source / (2 * painted));
    }
}

// One painted row from its source row: pixel i from source pixel columns[i], or from
// pixel i without a map.
void stretchRow(const std::uint32_t* __restrict source, const std::uint32_t* __restrict columns,
                std::uint32_t count, std::uint32_t* __restrict target) {
    if (columns == nullptr) {
        for (std::uint32_t i = 0; i < count; ++i) {
            target[i] = source[i] | 0xFF000000u;
        }
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        target[i] = source[columns[i]] | 0xFF000000u;
    }
}

std::uint64_t packSize(std::uint32_t width, std::uint32_t height) {
    return std::uint64_t{width} << 32 | height;
}
} // namespace

void PictureWidget::Picture::swap(Picture& other) noexcept {
    image.swap(other.image);
    stale.swap(other.stale);
}

namespace {
// The smallest span that holds both.
void widen(FrameSpan& span, FrameSpan more) {
    if (more.first >= more.end) {
        return;
    }
    span = span.first < span.end
               ? FrameSpan{std::min(span.first, more.first), std::max(span.end, more.end)}
               : more;
}

// Widens each row's span by that row's change; `spans` starts whole when its size is not
// the number of rows.
void widenRows(std::vector<FrameSpan>& spans, const std::vector<FrameSpan>& changes,
               std::uint32_t width) {
    if (spans.size() != changes.size()) {
        spans.assign(changes.size(), {0, width});
        return;
    }
    for (std::size_t y = 0; y < changes.size(); ++y) {
        widen(spans[y], changes[y]);
    }
}
} // namespace

const FrameSpan* PictureWidget::compareWithLastFrame(const FrameView& frame) {
    const std::uint32_t width = frame.width;
    const std::uint32_t rowRepeat = std::max<std::uint32_t>(frame.rowRepeat, 1);
    const std::uint32_t groups = (frame.height + rowRepeat - 1) / rowRepeat;
    KeptRows& kept = lastFrameRows_;
    const bool comparable = kept.kept && kept.width == width && kept.height == frame.height &&
                            kept.rowRepeat == rowRepeat;
    kept.kept = false;
    try {
        kept.pixels.resize(std::size_t{width} * groups);
        comparedChanges_.resize(groups);
    } catch (const std::bad_alloc&) {
        return nullptr; // compared with nothing, the frame counts as changed everywhere
    }
    const std::size_t rowBytes = std::size_t{width} * 4;
    for (std::uint32_t group = 0; group < groups; ++group) {
        const std::uint32_t* row = frame.pixels + std::size_t{group} * rowRepeat * frame.stride;
        std::uint32_t* last = kept.pixels.data() + std::size_t{group} * width;
        FrameSpan& changed = comparedChanges_[group];
        if (!comparable) {
            std::memcpy(last, row, rowBytes);
            continue;
        }
        changed = {};
        if (std::memcmp(last, row, rowBytes) == 0) {
            continue;
        }
        while (last[changed.first] == row[changed.first]) {
            ++changed.first;
        }
        changed.end = width;
        while (last[changed.end - 1] == row[changed.end - 1]) {
            --changed.end;
        }
        std::memcpy(last + changed.first, row + changed.first,
                    std::size_t{changed.end - changed.first} * 4);
    }
    kept.width = width;
    kept.height = frame.height;
    kept.rowRepeat = rowRepeat;
    kept.kept = true;
    return comparable ? comparedChanges_.data() : nullptr;
}

bool PictureWidget::followsLastFrame(const FrameView& frame, const FrameSpan* changes,
                                     bool mapsChanged) {
    // Taken even when another reason already makes the frame whole, so that a clear
    // asked for meanwhile is not carried over to the frame after.
    const bool wholeWanted = wholeFrameWanted_.exchange(false, std::memory_order_relaxed);
    const bool ownChangesFollow = frame.changedGroups != nullptr && frame.source != 0 &&
                                  frame.source == lastSource_ &&
                                  frame.sequence == lastSequence_ + 1;
    const bool follows = changes != nullptr &&
                         (frame.changedGroups == nullptr || ownChangesFollow) && !mapsChanged &&
                         !wholeWanted;
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

    // A frame that does not say what changed (a CHIP-8 display rewrites its whole
    // texture every refresh) is compared with the frame before, so that what it leaves
    // as it was is neither copied nor painted again, nor sent to the X server. Frames
    // that say what changed are not kept, so a frame without its changes that follows
    // one is taken whole.
    const FrameSpan* changes = frame.changedGroups;
    if (changes == nullptr) {
        changes = compareWithLastFrame(frame);
    } else {
        lastFrameRows_.kept = false;
    }

    // The painted columns of each row this frame changes: those showing the changed
    // source columns when it follows the last frame (the column map rises, so they
    // are a span too), else all of them.
    if (followsLastFrame(frame, changes, mapsChanged)) {
        frameChanges_.resize(paintHeight);
        bool changed = false;
        for (std::uint32_t y = 0; y < paintHeight; ++y) {
            const std::uint32_t group = rowSources_[y] / rowRepeat;
            const FrameSpan source = changes[group];
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
        if (!changed) {
            return; // the picture shows this frame already
        }
    } else {
        frameChanges_.assign(paintHeight, {0, paintWidth});
    }

    if (writing_.image.width() != w || writing_.image.height() != h) {
        writing_.image = QImage(w, h, QImage::Format_RGB32);
        writing_.stale.clear();
    }
    if (writing_.image.isNull()) {
        return;
    }
    widenRows(writing_.stale, frameChanges_, paintWidth);
    // Every texel a display writes is opaque; forcing the alpha byte keeps the RGB32
    // contract (and its fast painting) for any frame. Only what changed since the frame
    // this buffer last held is written.
    auto* const bits = reinterpret_cast<std::uint32_t*>(writing_.image.bits());
    const auto rowStep = static_cast<std::size_t>(writing_.image.bytesPerLine()) / 4;
    for (std::uint32_t y = 0; y < paintHeight; ++y) {
        FrameSpan& stale = writing_.stale[y];
        if (stale.first >= stale.end) {
            continue;
        }
        const std::uint32_t count = stale.end - stale.first;
        std::uint32_t* row = bits + y * rowStep + stale.first;
        // A row of the same group of equal source rows as the (up to date) row above is
        // a copy of it.
        const std::uint32_t group = rowSources_[y] / rowRepeat;
        const std::uint32_t* source = frame.pixels + group * rowRepeat * frame.stride;
        if (y > 0 && rowSources_[y - 1] / rowRepeat == group) {
            std::memcpy(row, row - rowStep, std::size_t{count} * 4);
        } else if (paintWidth == width) {
            stretchRow(source + stale.first, nullptr, count, row);
        } else {
            stretchRow(source, columnSources_.data() + stale.first, count, row);
        }
        stale = {};
    }
    {
        std::lock_guard lock(swapMutex_);
        widenRows(ready_.stale, frameChanges_, paintWidth);
        widenRows(showing_.stale, frameChanges_, paintWidth);
        if (readyChanged_.size() != paintHeight) {
            readyChanged_.assign(paintHeight, {});
            readyChangedAll_ = true;
        }
        widenRows(readyChanged_, frameChanges_, paintWidth);
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
        ready_.swap(showing_);
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
    // Rows that changed in the same columns are one rectangle.
    QRegion changed;
    const int rows = height();
    for (int y = 0; y < rows;) {
        const FrameSpan span = takenChanged_[static_cast<std::size_t>(y)];
        const int first = y;
        while (y < rows && takenChanged_[static_cast<std::size_t>(y)] == span) {
            ++y;
        }
        if (span.first < span.end) {
            changed += QRect(static_cast<int>(span.first), first,
                             static_cast<int>(span.end - span.first), y - first);
        }
    }
    // Painted now rather than through a later update request: one pass of the event loop
    // and no wake-up of the GUI thread by itself for each frame.
    repaint(changed);
}

void PictureWidget::clearPicture() {
    {
        std::lock_guard lock(swapMutex_);
        readyIsNew_ = false;
        cleared_ = true;
    }
    wholeFrameWanted_.store(true, std::memory_order_relaxed);
}

bool PictureWidget::hasPicture() {
    takeNewestFrame();
    return !cleared_ && !showing_.image.isNull();
}

QImage PictureWidget::currentPicture() {
    takeNewestFrame();
    return cleared_ ? QImage() : showing_.image.copy();
}

void PictureWidget::notePaintSize() {
    const qreal ratio = devicePixelRatioF();
    const auto w = static_cast<std::uint32_t>(std::lround(width() * ratio));
    const auto h = static_cast<std::uint32_t>(std::lround(height() * ratio));
    paintSize_.store(w > 0 && h > 0 ? packSize(w, h) : 0, std::memory_order_relaxed);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    notePaintSize();
    QWidget::resizeEvent(event);
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    // Also here: a move to a screen of another pixel ratio resizes nothing.
    notePaintSize();
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
