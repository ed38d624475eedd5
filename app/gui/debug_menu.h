#pragma once
// The Debug menu: Pause/Continue, Step Instruction, Step Frame and Show Debugger, and
// the Debugger window they drive. GUI thread only.

#include <QString>

#include <functional>
#include <memory>

class DebuggerWindow;
class MachineControl;
class QAction;
class QMenu;

class DebugMenu {
  public:
    // Adds a menu item that sends the command id (the main window's own items' way).
    using AddCommand = std::function<QAction*(QMenu*, const QString&, int, bool)>;

    explicit DebugMenu(MachineControl& control);
    ~DebugMenu();
    DebugMenu(const DebugMenu&) = delete;
    DebugMenu& operator=(const DebugMenu&) = delete;

    // The items, with their shortcuts: F5 (or Pause) Pause/Continue, F10 Step
    // Instruction, F8 Step Frame, Ctrl+D Show Debugger.
    void build(QMenu* menu, const AddCommand& addCommand);
    // True when the id is one of the Debug commands (it is then handled).
    bool handleCommand(int commandId);
    // Texts, check marks and enabled states from the machine as it is now.
    void updateItems();
    // The Debugger window, or null while it was never shown.
    DebuggerWindow* debugger() const { return debugger_.get(); }

  private:
    void togglePause();
    void step(bool wholeFrame);
    void toggleDebugger();
    // After anything that may have stopped the machine: the items and the window.
    void afterStop();

    MachineControl& control_;
    QAction* pauseItem_ = nullptr;
    QAction* stepInstructionItem_ = nullptr;
    QAction* stepFrameItem_ = nullptr;
    QAction* debuggerItem_ = nullptr;
    std::unique_ptr<DebuggerWindow> debugger_;
};
