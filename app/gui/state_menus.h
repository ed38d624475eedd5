#pragma once
// The File menu's save states: "Save State" and "Load State" submenus with slots 1-9
// (Ctrl+Shift+1-9 save, Ctrl+1-9 load), and "Save State As..." / "Load State From..."
// with a file dialog. A slot is a file in the user's data folder named by the ROM's
// SHA-1 and the slot; its item shows when it was saved.

#include "app/machine_control.h"
#include "app/state_file.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

class StateMenus {
  public:
    // Makes a menu item that sends `commandId` to the window.
    using AddCommand = std::function<QAction*(QMenu* menu, const QString& text, int commandId)>;
    // The file chosen for saving (true) or loading (false); empty when cancelled.
    using FileChooser = std::function<QString(QWidget* owner, bool saving)>;
    using StatusSink = std::function<void(const QString& text)>;

    // Messages go to the console and to `showStatus`; `statusText` tells what it shows.
    StateMenus(QWidget* owner, MachineControl& control, StatusSink showStatus,
               std::function<QString()> statusText);

    // Adds the items to the File menu.
    void build(QMenu* file, const AddCommand& addCommand);
    // Handles a save-state command id; false for any other id.
    bool handleCommand(int commandId);
    // The slot items' texts for the ROM that runs now ("Slot 3 (2026-12-07 22:14:03)", or
    // "Slot 3 (empty)"); enabled only while a machine is there.
    void refreshSlots();

    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Tests put failing system calls in place.
    void setWriteCalls(const FileWriteCalls& calls) { writeCalls_ = calls; }

    // The folder of the slots: "states" in the user's data folder
    // (QStandardPaths::AppDataLocation, which XDG_DATA_HOME moves).
    static QString slotFolder();
    // The file of a slot for the ROM that runs now.
    QString slotPath(int slot) const;

  private:
    void save(const QString& path, const QString& label);
    void load(const QString& path, const QString& label);
    void report(const std::string& message, bool done);
    QAction* slotItem(bool saving, int slot) const;

    QWidget* owner_;
    MachineControl& control_;
    StatusSink showStatus_;
    std::function<QString()> statusText_;
    FileChooser chooseFile_;
    FileWriteCalls writeCalls_ = systemFileWriteCalls();
    // Save slot items 1-9, then load slot items 1-9.
    QAction* slots_[18] = {};
};
