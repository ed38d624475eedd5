// The Machine menu's Sound item and Volume submenu.

#include "app/gui/main_window.h"
#include "platform/command_ids.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <array>
#include <iterator>

namespace {
// The Volume submenu's steps, percent, from command::volumeFirstStep on.
constexpr std::array volumeSteps = {25, 50, 75, 100};
static_assert(std::size(volumeSteps) == command::volumeLastStep - command::volumeFirstStep + 1);
} // namespace

void MainWindow::buildSoundMenu(QMenu* machine) {
    machine->addSeparator();
    addCommand(machine, QStringLiteral("Sound"), command::sound, true)->setChecked(sound_.on());
    QMenu* volume = machine->addMenu(QStringLiteral("Volume"));
    auto* volumes = new QActionGroup(this);
    for (std::size_t i = 0; i < volumeSteps.size(); ++i) {
        const int id = command::volumeFirstStep + static_cast<int>(i);
        QAction* item = addCommand(volume, QStringLiteral("%1 %").arg(volumeSteps[i]), id, true);
        volumes->addAction(item);
        item->setChecked(volumeSteps[i] == sound_.volumePercent());
    }
}

void MainWindow::handleSoundCommand(int commandId) {
    if (commandId == command::sound) {
        setSoundOn(!sound_.on());
        return;
    }
    const auto step = static_cast<std::size_t>(commandId - command::volumeFirstStep);
    if (step < volumeSteps.size()) {
        sound_.setVolumePercent(volumeSteps[step]);
        for (std::size_t i = 0; i < volumeSteps.size(); ++i) {
            setMenuItemChecked(command::volumeFirstStep + static_cast<int>(i), i == step);
        }
    }
}

void MainWindow::setSoundOn(bool on) {
    sound_.setOn(on);
    setMenuItemChecked(command::sound, on);
}
