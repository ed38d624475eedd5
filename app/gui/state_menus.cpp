#include "app/gui/state_menus.h"

#include "app/state_transfer.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>

namespace {
constexpr int slotCount = 9;
constexpr std::chrono::milliseconds successShownFor(4000);
const QString stateFilter = QStringLiteral("Quorvix states (*.qvstate) (*)");

QString chooseStateFileWithDialog(QWidget* owner, bool saving) {
    const QString folder = StateMenus::slotFolder();
    if (saving) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Save State As"), folder,
                                            stateFilter);
    }
    return QFileDialog::getOpenFileName(owner, QStringLiteral("Load State From"), folder,
                                        stateFilter);
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
} // namespace

StateMenus::StateMenus(QWidget* owner, MachineControl& control, StatusSink showStatus,
                       std::function<QString()> statusText)
    : owner_(owner), control_(control), showStatus_(std::move(showStatus)),
      statusText_(std::move(statusText)), chooseFile_(chooseStateFileWithDialog) {}

void StateMenus::build(QMenu* file, const AddCommand& addCommand) {
    QMenu* saveMenu = file->addMenu(QStringLiteral("Save State"));
    QMenu* loadMenu = file->addMenu(QStringLiteral("Load State"));
    for (int slot = 1; slot <= slotCount; ++slot) {
        const auto digit = static_cast<Qt::Key>(Qt::Key_0 + slot);
        QAction* save = addCommand(saveMenu, QString(), command::saveStateSlotBase + slot);
        save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | digit));
        QAction* load = addCommand(loadMenu, QString(), command::loadStateSlotBase + slot);
        load->setShortcut(QKeySequence(Qt::CTRL | digit));
        slots_[slot - 1] = save;
        slots_[slotCount + slot - 1] = load;
    }
    addCommand(file, QStringLiteral("Save State As..."), command::saveStateAs);
    addCommand(file, QStringLiteral("Load State From..."), command::loadStateFrom);
    // The slots belong to the ROM that runs when the menu opens.
    QObject::connect(file, &QMenu::aboutToShow, owner_, [this] { refreshSlots(); });
    refreshSlots();
}

QAction* StateMenus::slotItem(bool saving, int slot) const {
    return slots_[(saving ? 0 : slotCount) + slot - 1];
}

QString StateMenus::slotFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/states");
}

QString StateMenus::slotPath(int slot) const {
    return slotFolder() + QLatin1Char('/') +
           QString::fromStdString(stateSlotFileName(control_.romDigest(), slot));
}

void StateMenus::refreshSlots() {
    const bool machine = control_.machine() != nullptr;
    for (int slot = 1; slot <= slotCount; ++slot) {
        const QFileInfo file(slotPath(slot));
        const QString when =
            machine && file.isFile()
                ? file.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                : QStringLiteral("empty");
        const QString text = QStringLiteral("Slot %1 (%2)").arg(slot).arg(when);
        for (const bool saving : {true, false}) {
            QAction* item = slotItem(saving, slot);
            item->setText(text);
            item->setEnabled(machine);
        }
    }
}

bool StateMenus::handleCommand(int commandId) {
    const int saveSlot = commandId - command::saveStateSlotBase;
    const int loadSlot = commandId - command::loadStateSlotBase;
    if (saveSlot >= 1 && saveSlot <= slotCount) {
        QDir().mkpath(slotFolder());
        save(slotPath(saveSlot), QStringLiteral("slot %1").arg(saveSlot));
        refreshSlots();
    } else if (loadSlot >= 1 && loadSlot <= slotCount) {
        if (control_.machine() != nullptr && !QFileInfo(slotPath(loadSlot)).isFile()) {
            report(QStringLiteral("State not loaded: slot %1 is empty").arg(loadSlot).toStdString(),
                   false);
            return true;
        }
        load(slotPath(loadSlot), QStringLiteral("slot %1").arg(loadSlot));
    } else if (commandId == command::saveStateAs || commandId == command::loadStateFrom) {
        const bool saving = commandId == command::saveStateAs;
        if (control_.machine() == nullptr) {
            report(saving ? "State not saved: no program runs"
                          : "State not loaded: no program runs",
                   false);
            return true;
        }
        const QString path = chooseFile_(owner_, saving);
        if (path.isEmpty()) {
            return true; // cancelled: nothing changes
        }
        if (saving) {
            save(path, path);
        } else {
            load(path, path);
        }
    } else {
        return false;
    }
    return true;
}

void StateMenus::save(const QString& path, const QString& label) {
    const Machine* machine = control_.machine();
    if (machine == nullptr) {
        report("State not saved: no program runs", false);
        return;
    }
    const StateOutcome outcome = saveStateToFile(*machine, control_.romDigest(), localPath(path),
                                                 label.toStdString(), writeCalls_);
    report(outcome.message, outcome.done);
}

void StateMenus::load(const QString& path, const QString& label) {
    Machine* machine = control_.machine();
    if (machine == nullptr) {
        report("State not loaded: no program runs", false);
        return;
    }
    const StateOutcome outcome =
        loadStateFromFile(*machine, control_.romDigest(), localPath(path), label.toStdString());
    report(outcome.message, outcome.done);
}

void StateMenus::report(const std::string& message, bool done) {
    logMessage("%s", message.c_str());
    const QString text = QString::fromStdString(message);
    showStatus_(text);
    if (done) {
        // What went well needs no lasting line; a refusal stays until something else
        // is shown.
        QTimer::singleShot(successShownFor, owner_, [this, text] {
            if (statusText_ && statusText_() == text) {
                showStatus_(QString());
            }
        });
    }
}
