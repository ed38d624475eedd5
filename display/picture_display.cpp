#include "display/picture_display.h"

#include "platform/clock.h"
#include "platform/console_log.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<bool> refreshWaitEnabled{true};
std::atomic<std::uint64_t> displaysMade{0};

void waitForRefresh(const PictureSurface& surface) {
    const std::uint64_t period = surface.refreshPeriodNanoseconds();
    if (period == 0 || !refreshWaitEnabled.load(std::memory_order_relaxed)) {
        return;
    }
    const std::uint64_t now = elapsedNanoseconds();
    sleepNanoseconds(period - now % period);
}
} // namespace

PictureDisplay::PictureDisplay(std::uint32_t width, std::uint32_t height, std::uint32_t rowRepeat)
    : surface_(mainPictureSurface()), width_(width), height_(height), rowRepeat_(rowRepeat),
      id_(displaysMade.fetch_add(1, std::memory_order_relaxed) + 1) {
    // Rows of whole 64-byte blocks, so that every row starts where the widest stores
    // want it.
    if (surface_ != nullptr && width % 16 == 0) {
        pixels_.reset(static_cast<std::uint32_t*>(
            std::aligned_alloc(64, std::size_t{width} * height * sizeof(std::uint32_t))));
    }
    if (pixels_ == nullptr) {
        logMessage("Error: Failed to create render texture!");
    }
}

void PictureDisplay::present() {
    if (pixels_ == nullptr) {
        // Nothing to show on; let other threads run instead of spinning on a mutex.
        std::this_thread::yield();
        return;
    }
    surface_->showFrame(
        {pixels_.get(), width_, height_, width_, rowRepeat_, id_, sequence_, changes_});
    waitForRefresh(*surface_);
}

void PictureDisplay::skipRefresh() const {
    if (surface_ != nullptr) {
        waitForRefresh(*surface_);
    }
}

void setRefreshWaitEnabled(bool enabled) {
    refreshWaitEnabled.store(enabled, std::memory_order_relaxed);
}
