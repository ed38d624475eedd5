#include "platform/headless/headless_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <utility>

namespace {
std::mutex commandMutex;
std::vector<int> postedCommands;

std::atomic<bool> windowExists{false};
std::map<int, bool> menuChecks;

std::atomic<PictureSurface*> surface{nullptr};

class HeadlessConsole final : public ConsoleSink {
  public:
    void open() override {}
    void close() override {}
    void write(std::string_view text) override {
        std::lock_guard lock(mutex_);
        if (capturing_) {
            captured_.append(text);
            ++writes_;
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        }
    }
    void capture(bool on) {
        std::lock_guard lock(mutex_);
        capturing_ = on;
    }
    std::string take() {
        std::lock_guard lock(mutex_);
        return std::exchange(captured_, {});
    }
    std::size_t takeWriteCount() {
        std::lock_guard lock(mutex_);
        return std::exchange(writes_, 0);
    }

  private:
    std::mutex mutex_;
    bool capturing_ = false;
    std::string captured_;
    std::size_t writes_ = 0;
};

HeadlessConsole& headlessConsole() {
    static HeadlessConsole console;
    return console;
}
} // namespace

void postCommand(int commandId) {
    std::lock_guard lock(commandMutex);
    postedCommands.push_back(commandId);
}

void dropPostedCommands(int commandId) {
    std::lock_guard lock(commandMutex);
    std::erase(postedCommands, commandId);
}

bool mainWindowExists() {
    return windowExists.load();
}

void checkMenuItem(int commandId, bool checked) {
    std::lock_guard lock(commandMutex);
    menuChecks[commandId] = checked;
}

void bringMainWindowToFront() {}

PictureSurface* mainPictureSurface() {
    return surface.load();
}

ConsoleSink& consoleSink() {
    return headlessConsole();
}

namespace headless {

std::vector<int> takePostedCommands() {
    std::lock_guard lock(commandMutex);
    return std::exchange(postedCommands, {});
}

std::size_t postedCommandCount() {
    std::lock_guard lock(commandMutex);
    return postedCommands.size();
}

void setMainWindowExists(bool exists) {
    windowExists.store(exists);
}

bool isMenuItemChecked(int commandId) {
    std::lock_guard lock(commandMutex);
    const auto found = menuChecks.find(commandId);
    return found != menuChecks.end() && found->second;
}

void captureConsole(bool on) {
    headlessConsole().capture(on);
}

std::string takeConsoleText() {
    return headlessConsole().take();
}

std::size_t takeConsoleWriteCount() {
    return headlessConsole().takeWriteCount();
}

void FrameSink::showFrame(const FrameView& frame) {
    {
        std::lock_guard lock(mutex_);
        pixels_.resize(std::size_t{frame.width} * frame.height);
        for (std::uint32_t y = 0; y < frame.height; ++y) {
            std::copy_n(frame.pixels + y * frame.stride, frame.width,
                        pixels_.begin() + std::ptrdiff_t{frame.width} * y);
        }
        width_ = frame.width;
        height_ = frame.height;
        ++framesShown_;
    }
    frameShown_.notify_all();
}

std::uint64_t FrameSink::waitForFrameAfter(std::uint64_t seen,
                                           std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    frameShown_.wait_for(lock, timeout, [&] { return framesShown_ > seen; });
    return framesShown_;
}

std::uint64_t FrameSink::refreshPeriodNanoseconds() const {
    std::lock_guard lock(mutex_);
    return refreshPeriod_;
}

void FrameSink::setRefreshPeriod(std::uint64_t ns) {
    std::lock_guard lock(mutex_);
    refreshPeriod_ = ns;
}

std::uint64_t FrameSink::framesShown() const {
    std::lock_guard lock(mutex_);
    return framesShown_;
}

std::vector<std::uint32_t> FrameSink::lastFrame(std::uint32_t* width, std::uint32_t* height) const {
    std::lock_guard lock(mutex_);
    *width = width_;
    *height = height_;
    return pixels_;
}

void setMainSurface(PictureSurface* newSurface) {
    surface.store(newSurface);
}

} // namespace headless
