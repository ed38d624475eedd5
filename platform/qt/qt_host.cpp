#include "platform/qt/console_sink_qt.h"
#include "platform/qt/host_window.h"

#include <QMetaObject>
#include <QWidget>

#include <atomic>
#include <mutex>

namespace {
// Guards the registration against a worker posting while the window goes away.
std::mutex hostMutex;
HostWindow* host = nullptr;
std::atomic<PictureSurface*> surface{nullptr};

// Only the GUI thread registers and unregisters, so on that thread the pointer read
// here stays valid; the callers use it outside the lock.
HostWindow* currentHost() {
    std::lock_guard lock(hostMutex);
    return host;
}
} // namespace

void registerHostWindow(HostWindow* window) {
    std::lock_guard lock(hostMutex);
    host = window;
    surface.store(window != nullptr ? window->pictureSurface() : nullptr);
}

void postCommand(int commandId) {
    std::lock_guard lock(hostMutex);
    if (host == nullptr) {
        return;
    }
    // Posting only queues an event for the window's thread. Events still queued when
    // the widget is destroyed are discarded with it.
    HostWindow* window = host;
    QMetaObject::invokeMethod(
        window->hostWidget(), [window, commandId] { window->handleCommand(commandId); },
        Qt::QueuedConnection);
}

bool mainWindowExists() {
    return currentHost() != nullptr;
}

void checkMenuItem(int commandId, bool checked) {
    if (HostWindow* window = currentHost()) {
        window->setMenuItemChecked(commandId, checked);
    }
}

void bringMainWindowToFront() {
    if (HostWindow* window = currentHost()) {
        window->hostWidget()->raise();
        window->hostWidget()->activateWindow();
    }
}

PictureSurface* mainPictureSurface() {
    return surface.load();
}

ConsoleSink& consoleSink() {
    return qtConsoleSink();
}

void setConsoleClosedHandler(std::function<void()> handler) {
    qtConsoleSink().setClosedHandler(std::move(handler));
}
