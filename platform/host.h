#pragma once
// What the core needs of the program's window, implemented once by the Qt back end
// and once by the headless one. Every function may be called from any thread unless
// it says otherwise.

#include <cstddef>
#include <cstdint>
#include <string_view>

// Queues a menu command for the main window and returns at once; the window handles
// it on the GUI thread exactly as the menu item. Never waits for the GUI thread.
void postCommand(int commandId);
// GUI thread: forgets every queued, not yet handled post of this command.
void dropPostedCommands(int commandId);

// GUI thread only: whether the main window exists, its menu check marks, and raising it.
bool mainWindowExists();
void checkMenuItem(int commandId, bool checked);
void bringMainWindowToFront();

// Columns [first, end) of a frame's row; empty when first == end.
struct FrameSpan {
    std::uint32_t first = 0;
    std::uint32_t end = 0;

    bool operator==(const FrameSpan&) const = default;
};

// A finished frame: width x height pixels whose rows lie `stride` pixels apart
// (stride >= width); from the first row on, rows come in groups of `rowRepeat` equal
// ones.
struct FrameView {
    const std::uint32_t* pixels = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t stride = 0;
    std::uint32_t rowRepeat = 1;
    // Frames that come from one display carry its process-wide number (`source`, 0 for
    // none) and the number of its picture (`sequence`). When the frame before it
    // from the same source had number sequence - 1, `changedGroups` (when not null)
    // gives for each group of rowRepeat rows the columns outside which it equals that
    // frame (an empty span: the group did not change). Without it everything counts as
    // changed.
    std::uint64_t source = 0;
    std::uint64_t sequence = 0;
    const FrameSpan* changedGroups = nullptr;
};

// Where a display's frames appear: the main window's client area, or a frame sink in
// headless runs.
class PictureSurface {
  public:
    virtual ~PictureSurface() = default;
    // Called by the presenting worker with the finished frame; the surface copies it and
    // arranges for it to be painted. Must not wait for the GUI thread.
    virtual void showFrame(const FrameView& frame) = 0;
    // Time between two display refreshes, which a present waits for; 0 means no wait.
    virtual std::uint64_t refreshPeriodNanoseconds() const = 0;
};

// The surface of the main window, or null when there is none.
PictureSurface* mainPictureSurface();

// The text console: opened and closed on the GUI thread, written from any thread.
class ConsoleSink {
  public:
    virtual ~ConsoleSink() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual void write(std::string_view text) = 0;
};

ConsoleSink& consoleSink();
