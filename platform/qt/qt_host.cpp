#include "platform/qt/console_sink_qt.h"
#include "platform/qt/host_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {
const auto commandsPosted = static_cast<QEvent::Type>(QEvent::registerEventType());

void deliverPostedCommands();

// Lives on the GUI thread while a main window is registered; a posted event wakes it
// to hand the queued commands to the window.
class CommandCourier final : public QObject {
  public:
    bool event(QEvent* event) override;
};

// Guards the registration and the queue against workers posting while the window
// comes or goes. The commands travel in this queue rather than inside the event, so
// the hand-over is a plain mutex that every checker understands.
std::mutex hostMutex;
HostWindow* host = nullptr;
std::unique_ptr<CommandCourier> courier;
std::vector<int> postedCommands;
std::atomic<PictureSurface*> surface{nullptr};

bool CommandCourier::event(QEvent* event) {
    {
        // postCommand made the event under this lock and posted it before letting go,
        // so taking the lock orders this read after that write in a way race checkers
        // see (Qt's own queue synchronises through code they cannot see).
        std::lock_guard lock(hostMutex);
    }
    if (event->type() != commandsPosted) {
        return QObject::event(event);
    }
    deliverPostedCommands();
    return true;
}

void deliverPostedCommands() {
    // One at a time, without the lock: a command may stop workers that post meanwhile,
    // or end the window.
    for (;;) {
        HostWindow* window = nullptr;
        int commandId = 0;
        {
            std::lock_guard lock(hostMutex);
            if (host == nullptr || postedCommands.empty()) {
                return;
            }
            window = host;
            commandId = postedCommands.front();
            postedCommands.erase(postedCommands.begin());
        }
        window->handleCommand(commandId);
    }
}

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
    postedCommands.clear();
    if (window == nullptr) {
        courier.reset(); // events still queued for it go with it
    } else if (courier == nullptr) {
        courier = std::make_unique<CommandCourier>();
    }
}

void postCommand(int commandId) {
    std::lock_guard lock(hostMutex);
    if (host == nullptr) {
        return;
    }
    // One wake-up covers every command queued until the window takes them.
    const bool wake = postedCommands.empty();
    postedCommands.push_back(commandId);
    if (wake) {
        QCoreApplication::postEvent(courier.get(), new QEvent(commandsPosted));
    }
}

void dropPostedCommands(int commandId) {
    std::lock_guard lock(hostMutex);
    // A wake-up already queued finds nothing to deliver and does nothing.
    std::erase(postedCommands, commandId);
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
