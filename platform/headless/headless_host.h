#pragma once
// Controls of the headless back end, for tests and the headless runner.

#include "platform/host.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace headless {

// Commands posted so far, oldest first; takePostedCommands() also forgets them.
std::vector<int> takePostedCommands();
std::size_t postedCommandCount();

// Pretend a main window exists, and read the check marks the core set on it.
void setMainWindowExists(bool exists);
bool isMenuItemChecked(int commandId);

// Console: with capture on, text goes into a buffer instead of standard output.
void captureConsole(bool on);
std::string takeConsoleText();
// The number of writes the captured text arrived in since the last call.
std::size_t takeConsoleWriteCount();

// A surface that keeps the last presented frame.
class FrameSink final : public PictureSurface {
  public:
    void showFrame(const FrameView& frame) override;
    std::uint64_t refreshPeriodNanoseconds() const override;

    void setRefreshPeriod(std::uint64_t ns);
    std::uint64_t framesShown() const;
    // Waits until more than `seen` frames have been shown or the timeout passes, and
    // returns the number shown.
    std::uint64_t waitForFrameAfter(std::uint64_t seen, std::chrono::milliseconds timeout) const;
    // The last frame and its size; empty before the first.
    std::vector<std::uint32_t> lastFrame(std::uint32_t* width, std::uint32_t* height) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable frameShown_;
    std::vector<std::uint32_t> pixels_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint64_t framesShown_ = 0;
    std::uint64_t refreshPeriod_ = 0;
};

// The surface mainPictureSurface() returns; null means no window.
void setMainSurface(PictureSurface* surface);

} // namespace headless
