#include "platform/qt/console_sink_qt.h"

#include "platform/console_log.h"
#include "platform/qt/console_window.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
// Past this much waiting text (far more than 20000 console lines of messages) the
// oldest is dropped even within a line.
constexpr std::size_t maxPendingBytes = 4 * 1024 * 1024;
} // namespace

QtConsoleSink::QtConsoleSink() : pending_(keptLines, maxPendingBytes) {}

QtConsoleSink::~QtConsoleSink() = default;

void QtConsoleSink::open() {
    if (window_ != nullptr) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        // Kept, the text written before shows in the new window (a missing ROM's
        // error, say); otherwise the window starts empty.
        if (!consoleKeepsHistory.load()) {
            pending_.clear();
        }
        accepting_ = true;
    }
    window_ = std::make_unique<ConsoleWindow>(*this);
    window_->show();
}

void QtConsoleSink::close() {
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
        pending_.clear();
    }
    window_.reset();
}

void QtConsoleSink::write(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (accepting_ || consoleKeepsHistory.load(std::memory_order_relaxed)) {
        pending_.append(text);
    }
}

void QtConsoleSink::flush() {
    std::string text;
    {
        std::lock_guard lock(mutex_);
        text = pending_.take();
    }
    if (window_ != nullptr && !text.empty()) {
        window_->appendText(text);
    }
}

void QtConsoleSink::setClosedHandler(std::function<void()> handler) {
    closedHandler_ = std::move(handler);
}

std::size_t QtConsoleSink::pendingBytes() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

void QtConsoleSink::userClosed() {
    // Runs from the event loop, not inside the close event, because the handler
    // destroys the window; so the window cannot be the call's context either.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this] {
            if (closedHandler_) {
                closedHandler_();
            }
        },
        Qt::QueuedConnection);
}

QtConsoleSink& qtConsoleSink() {
    static QtConsoleSink sink;
    return sink;
}
