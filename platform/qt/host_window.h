#pragma once
// The Qt back end of platform/host.h: what it needs of the main window, which
// registers itself here for as long as it exists.

#include "platform/host.h"

#include <functional>

class QWidget;

class HostWindow {
  public:
    virtual ~HostWindow() = default;
    // The window's widget: queued commands are delivered through its event queue.
    virtual QWidget* hostWidget() = 0;
    virtual void handleCommand(int commandId) = 0;
    virtual void setMenuItemChecked(int commandId, bool checked) = 0;
    virtual PictureSurface* pictureSurface() = 0;
};

// GUI thread. Null unregisters; commands posted afterwards are dropped.
void registerHostWindow(HostWindow* window);

// GUI thread. Called, from the event loop, when the user closes the console window
// with its own close box.
void setConsoleClosedHandler(std::function<void()> handler);
