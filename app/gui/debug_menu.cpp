#include "app/gui/debug_menu.h"

#include "app/gui/debugger_window.h"
#include "app/machine_control.h"
#include "platform/command_ids.h"

#include <QAction>
#include <QMenu>

namespace {
// The debugger window has the keyboard as often as the main window: the shortcuts work
// in both.
void setShortcuts(QAction* action, const QList<QKeySequence>& keys) {
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
}
} // namespace

DebugMenu::DebugMenu(MachineControl& control) : control_(control) {}

DebugMenu::~DebugMenu() = default;

void DebugMenu::build(QMenu* menu, const AddCommand& addCommand) {
    pauseItem_ = addCommand(menu, QStringLiteral("Pause"), command::debugPauseContinue, false);
    setShortcuts(pauseItem_, {QKeySequence(Qt::Key_F5), QKeySequence(Qt::Key_Pause)});
    stepInstructionItem_ =
        addCommand(menu, QStringLiteral("Step Instruction"), command::debugStepInstruction, false);
    setShortcuts(stepInstructionItem_, {QKeySequence(Qt::Key_F10)});
    stepFrameItem_ = addCommand(menu, QStringLiteral("Step Frame"), command::debugStepFrame, false);
    setShortcuts(stepFrameItem_, {QKeySequence(Qt::Key_F8)});
    menu->addSeparator();
    debuggerItem_ = addCommand(menu, QStringLiteral("Show Debugger"), command::showDebugger, true);
    setShortcuts(debuggerItem_, {QKeySequence(Qt::CTRL | Qt::Key_D)});
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this] { updateItems(); });
    updateItems();
}

bool DebugMenu::handleCommand(int commandId) {
    switch (commandId) {
    case command::debugPauseContinue: togglePause(); break;
    case command::debugStepInstruction: step(false); break;
    case command::debugStepFrame: step(true); break;
    case command::showDebugger: toggleDebugger(); break;
    case command::debugStopped:
        control_.holdSoundWhilePaused();
        afterStop();
        break;
    default: return false;
    }
    return true;
}

void DebugMenu::updateItems() {
    if (pauseItem_ == nullptr) {
        return;
    }
    const Machine* machine = control_.machine();
    const bool running = machine != nullptr && machine->running();
    const bool paused = running && machine->paused();
    pauseItem_->setText(paused ? QStringLiteral("Continue") : QStringLiteral("Pause"));
    pauseItem_->setEnabled(running);
    stepInstructionItem_->setEnabled(paused);
    stepFrameItem_->setEnabled(paused);
    debuggerItem_->setChecked(debugger_ != nullptr && debugger_->isVisible());
}

void DebugMenu::togglePause() {
    Machine* machine = control_.machine();
    if (machine == nullptr || !machine->running()) {
        return;
    }
    // Through the machine control, so that the sound holds and plays on with the machine.
    if (machine->paused()) {
        control_.setPaused(false);
        updateItems();
        if (debugger_ != nullptr && debugger_->isVisible()) {
            debugger_->refresh(false);
        }
    } else {
        control_.setPaused(true);
        afterStop();
    }
}

void DebugMenu::step(bool wholeFrame) {
    Machine* machine = control_.machine();
    if (machine == nullptr || !machine->running() || !machine->paused()) {
        return;
    }
    if (wholeFrame) {
        machine->stepFrame();
    } else {
        machine->stepInstruction();
    }
    afterStop();
}

void DebugMenu::toggleDebugger() {
    if (debugger_ == nullptr) {
        debugger_ = std::make_unique<DebuggerWindow>(control_);
        debugger_->setHiddenHandler([this] { updateItems(); });
    }
    if (debugger_->isVisible()) {
        debugger_->hide();
    } else {
        debugger_->show();
        debugger_->raise();
    }
    updateItems();
}

void DebugMenu::afterStop() {
    updateItems();
    if (debugger_ != nullptr && debugger_->isVisible()) {
        debugger_->refresh(true);
    }
}
