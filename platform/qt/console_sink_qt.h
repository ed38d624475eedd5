#pragma once
// The console as a window of its own: text written by any thread waits in a bounded
// buffer under a short lock, and the GUI thread appends it in batches.

#include "platform/host.h"
#include "platform/qt/pending_text.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

class ConsoleWindow;

class QtConsoleSink final : public ConsoleSink {
  public:
    // Lines the console keeps; older ones scroll away.
    static constexpr int keptLines = 20000;

    QtConsoleSink();
    ~QtConsoleSink() override;

    // GUI thread: open creates a fresh, empty window; close destroys it.
    void open() override;
    void close() override;
    // Any thread; text written while no console is open is dropped, unless the console
    // keeps its history: then the newest keptLines lines wait for the next window.
    void write(std::string_view text) override;

    // GUI thread: moves the waiting text into the window.
    void flush();
    void setClosedHandler(std::function<void()> handler);
    // The window, or null while the console is closed.
    ConsoleWindow* window() const { return window_.get(); }
    std::size_t pendingBytes() const;

  private:
    friend class ConsoleWindow;
    void userClosed();

    mutable std::mutex mutex_;
    PendingText pending_;
    bool accepting_ = false;
    std::unique_ptr<ConsoleWindow> window_;
    std::function<void()> closedHandler_;
};

QtConsoleSink& qtConsoleSink();
