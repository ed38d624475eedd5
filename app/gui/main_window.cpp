#include "app/gui/main_window.h"

#include "app/console_control.h"
#include "app/gui/about_dialog.h"
#include "app/gui/app_icon.h"
#include "app/gui/debug_menu.h"
#include "app/gui/debugger_window.h"
#include "app/gui/switches_dialog.h"
#include "chip8/chip8_switches.h"
#include "machine/machine_settings.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/qt/picture_widget.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>

#include <iterator>

namespace {
const QString romFilter = QStringLiteral("(S)Chip-8 Roms, Chip-16 (*.c8, *.ch8, *.sc8, *.c16) (*)");

// The window's size before its initialisation sizes it (461 x 242 dialog units).
constexpr QSize templateSize(692, 394);

QString chooseRomWithDialog(QWidget* owner) {
    // Every file is listed; only an existing file can be chosen.
    return QFileDialog::getOpenFileName(owner, QString(), QString(), romFilter);
}

int variantCommand(Chip8Variant variant) {
    return command::variantQuorvix + static_cast<int>(variant);
}

// The Speed submenu's steps, instructions per 1/60 s, from command::speedFirstStep on.
constexpr std::uint32_t speedSteps[] = {7, 15, 30, 100, 200, 500, 1000};
static_assert(std::size(speedSteps) == command::speedLastStep - command::speedFirstStep + 1);

// The item a chosen speed checks: the own speed for 0, a step, or none (0) for a speed
// from the command line that is no step.
int speedCommand(std::uint32_t speed) {
    for (std::size_t i = 0; i < std::size(speedSteps); ++i) {
        if (speedSteps[i] == speed) {
            return command::speedFirstStep + static_cast<int>(i);
        }
    }
    return speed == 0 ? command::speedOwn : 0;
}

std::optional<Chip8Rules> editSwitchesWithDialog(QWidget* owner, const QString& variantName,
                                                 const Chip8Rules& shown) {
    SwitchesDialog dialog(owner, variantName, shown);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.rules();
}

QString firstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return {};
    }
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}
} // namespace

MainWindow::MainWindow(const MachineChoices& choices)
    : picture_(new PictureWidget(this)), debugMenu_(std::make_unique<DebugMenu>(control_)),
      chooseRom_(chooseRomWithDialog), editSwitches_(editSwitchesWithDialog) {
    control_.setChoices(choices);
    setWindowTitle(QStringLiteral("Quorvix"));
    setWindowIcon(appIcon());
    setCentralWidget(picture_);
    setAcceptDrops(true);
    buildMenus();
    resize(templateSize);
}

MainWindow::~MainWindow() {
    // Workers present to the picture widget: none may outlive it.
    control_.closeRom();
    registerHostWindow(nullptr);
    setConsoleClosedHandler({});
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& text, int commandId, bool checkable) {
    QAction* action = menu->addAction(text);
    action->setData(commandId);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, commandId] { handleCommand(commandId); });
    actions_[commandId] = action;
    return action;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("Reset"), command::reset, false);
    addCommand(file, QStringLiteral("Load"), command::load, false);
    addCommand(file, QStringLiteral("Close"), command::close, false);
    addCommand(file, QStringLiteral("E&xit"), command::exit, false);

    QMenu* screen = menuBar()->addMenu(QStringLiteral("Screen"));
    for (int scale = 1; scale <= 4; ++scale) {
        addCommand(screen, QStringLiteral("Window x%1").arg(scale),
                   command::windowScaleBase + scale, true);
    }
    screen->addSeparator();
    addCommand(screen, QStringLiteral("Chip-8 Flicker Filter"), command::flickerFilter, true);
    addCommand(screen, QStringLiteral("Show Console"), command::showConsole, true);

    QMenu* machine = menuBar()->addMenu(QStringLiteral("&Machine"));
    auto* variants = new QActionGroup(this);
    variants->addAction(addCommand(machine,
                                   QStringLiteral("Automatic (from the programs database)"),
                                   command::variantAutomatic, true));
    for (const Chip8Variant variant : chip8Variants) {
        variants->addAction(addCommand(machine, QString::fromUtf8(chip8VariantName(variant)),
                                       variantCommand(variant), true));
    }
    checkVariantItems();
    addCommand(machine, QStringLiteral("Custom..."), command::customSwitches, false);
    QMenu* speed = machine->addMenu(QStringLiteral("Speed"));
    auto* speeds = new QActionGroup(this);
    // A speed that is no step leaves every item unchecked until one is chosen.
    speeds->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const int speedChecked = speedCommand(control_.choices().speed);
    speeds->addAction(addCommand(speed, QStringLiteral("Variant's Own"), command::speedOwn, true))
        ->setChecked(speedChecked == command::speedOwn);
    for (std::size_t i = 0; i < std::size(speedSteps); ++i) {
        const int id = command::speedFirstStep + static_cast<int>(i);
        QAction* item = addCommand(
            speed, QStringLiteral("%1 Instructions per Frame").arg(speedSteps[i]), id, true);
        speeds->addAction(item);
        item->setChecked(id == speedChecked);
    }
    machine->addSeparator();
    addCommand(machine, QStringLiteral("Chip-16 Extended Instructions"), command::chip16Extended,
               true)
        ->setChecked(control_.choices().chip16Extended);

    QMenu* debug = menuBar()->addMenu(QStringLiteral("&Debug"));
    debugMenu_->build(debug, [this](QMenu* menu, const QString& text, int id, bool checkable) {
        return addCommand(menu, text, id, checkable);
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&About ..."), command::about, false);

    // An open menu takes the keyboard, so key releases would never reach the window.
    for (QMenu* menu : {file, screen, machine, debug, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { control_.releaseKeys(); });
    }
}

void MainWindow::initialise() {
    registerHostWindow(this);
    setConsoleClosedHandler([this] {
        if (!ended_ && isConsoleOpen()) {
            handleCommand(command::showConsole);
        }
    });
    picture_->updateRefreshRate();
    if (const QScreen* shownOn = screen()) {
        move(shownOn->availableGeometry().center() - rect().center());
    }
    applyWindowScale(windowScale_);
    toggleFlickerFilter();
    if (verboseConsole.load() != 0) {
        showConsole();
    }
    if (!control_.romPath().empty()) {
        control_.resetRom();
        // The window was sized for the start-up mode; size it for the ROM's machine.
        applyWindowScale(windowScale_);
    }
    picture_->setFocus();
}

void MainWindow::handleCommand(int commandId) {
    if (ended_) {
        return;
    }
    switch (commandId) {
    case command::cancel:
    case command::exit: endWindow(commandId); break;
    case command::reset: {
        const bool sideways = rotationTurnsSideways(control_.chip8Plan().rotation);
        control_.resetRom();
        // A new rotation may stand the picture on its side, or back.
        if (rotationTurnsSideways(control_.chip8Plan().rotation) != sideways) {
            applyWindowScale(windowScale_);
        }
        repaintClientArea();
        break;
    }
    case command::load:
        loadRom();
        repaintClientArea();
        break;
    case command::close:
        control_.closeRom();
        repaintClientArea();
        break;
    case command::windowX1:
    case command::windowX1 + 1:
    case command::windowX1 + 2:
    case command::windowX4: applyWindowScale(commandId - command::windowScaleBase); break;
    case command::flickerFilter: toggleFlickerFilter(); break;
    case command::showConsole: toggleConsole(); break;
    case command::variantQuorvix:
    case command::variantChip8:
    case command::variantSuperChip:
    case command::variantSuperChipLegacy:
    case command::variantXoChip:
        chooseVariant(static_cast<Chip8Variant>(commandId - command::variantQuorvix));
        break;
    case command::variantAutomatic: chooseAutomatic(); break;
    case command::customSwitches: editSwitches(); break;
    case command::speedOwn:
    case command::speedFirstStep:
    case command::speedFirstStep + 1:
    case command::speedFirstStep + 2:
    case command::speedFirstStep + 3:
    case command::speedFirstStep + 4:
    case command::speedFirstStep + 5:
    case command::speedLastStep: chooseSpeed(commandId); break;
    case command::chip16Extended: toggleChip16Extended(); break;
    case command::about: showAbout(); break;
    default:
        debugMenu_->handleCommand(commandId);
        break; // other ids without a menu item do nothing
    }
    // Load, Reset and Close change the machine the Debug items act on.
    debugMenu_->updateItems();
}

void MainWindow::applyWindowScale(int scale) {
    const int s = std::clamp(scale, 1, 4);
    windowScale_ = s;
    if (control_.mode() == MachineKind::Chip8 &&
        rotationTurnsSideways(control_.chip8Plan().rotation)) {
        resizeClientArea(256 * s, 512 * s);
    } else if (control_.mode() == MachineKind::Chip8) {
        resizeClientArea(512 * s, 256 * s);
    } else {
        resizeClientArea(320 * s, 240 * s);
    }
    for (int i = 1; i <= 4; ++i) {
        setMenuItemChecked(command::windowScaleBase + i, i == s);
    }
}

void MainWindow::resizeClientArea(int width, int height) {
    if (isMaximized() || isFullScreen()) {
        showNormal();
    }
    const QSize wanted(width, height);
    // Like a window frame, the menu bar above the client area (whose height depends on
    // the width) is measured after one sizing and then made up for. resize() keeps the
    // top-left corner where it is.
    for (int round = 0; round < 3; ++round) {
        // Laid out at once, also while the window is hidden.
        layout()->invalidate();
        layout()->activate();
        const QSize client = picture_->size();
        if (client == wanted) {
            break;
        }
        resize(size() + wanted - client);
    }
}

void MainWindow::repaintClientArea() {
    picture_->clearPicture();
    picture_->update();
}

void MainWindow::loadRom() {
    const QString path = chooseRom_(this);
    if (path.isEmpty()) {
        return; // cancelled: nothing changes and a running machine goes on
    }
    loadRomFile(path);
}

void MainWindow::loadRomFile(const QString& path) {
    const QFileInfo file(path);
    if (!control_.startChosenRom(QFile::encodeName(file.absoluteFilePath()).toStdString(),
                                 QFile::encodeName(file.fileName()).toStdString())) {
        return;
    }
    applyWindowScale(windowScale_);
}

void MainWindow::loadDroppedFile(const QString& path) {
    const QFileInfo file(path);
    control_.startDroppedRom(QFile::encodeName(file.absoluteFilePath()).toStdString(),
                             QFile::encodeName(file.fileName()).toStdString());
    applyWindowScale(windowScale_);
}

QSize MainWindow::clientSize() const {
    return picture_->size();
}

bool MainWindow::isMenuItemChecked(int commandId) const {
    const QAction* action = menuAction(commandId);
    return action != nullptr && action->isChecked();
}

QAction* MainWindow::menuAction(int commandId) const {
    const auto found = actions_.find(commandId);
    return found != actions_.end() ? found->second : nullptr;
}

void MainWindow::setMenuItemChecked(int commandId, bool checked) {
    if (QAction* action = menuAction(commandId)) {
        action->setChecked(checked);
    }
}

PictureSurface* MainWindow::pictureSurface() {
    return picture_;
}

void MainWindow::endWindow(int result) {
    ended_ = true;
    result_ = result;
    // The window goes at once; the machines stop behind it. No worker may outlive the
    // window it presents to, nor the process.
    hide();
    if (DebuggerWindow* debugger = debugMenu_->debugger()) {
        debugger->hide();
    }
    control_.closeRom();
    registerHostWindow(nullptr);
    if (endedHandler_) {
        endedHandler_();
    }
}

void MainWindow::toggleFlickerFilter() {
    const bool on = !control_.choices().flickerFilter;
    control_.setFlickerFilter(on);
    setMenuItemChecked(command::flickerFilter, on);
}

void MainWindow::chooseVariant(Chip8Variant variant) {
    // Takes effect at the next Load or Reset; a running machine keeps its rules. A
    // variant means its own switches: the Custom changes go.
    MachineChoices choices = control_.choices();
    choices.variant = variant;
    choices.automatic = false;
    choices.overrides = {};
    control_.setChoices(choices);
    checkVariantItems();
}

void MainWindow::chooseAutomatic() {
    // A ROM the database does not know runs by the machine's own rules.
    MachineChoices choices = control_.choices();
    choices.variant = Chip8Variant::Quorvix;
    choices.automatic = true;
    choices.overrides = {};
    control_.setChoices(choices);
    checkVariantItems();
}

void MainWindow::checkVariantItems() {
    const MachineChoices& choices = control_.choices();
    setMenuItemChecked(command::variantAutomatic, choices.automatic);
    for (const Chip8Variant each : chip8Variants) {
        setMenuItemChecked(variantCommand(each), !choices.automatic && each == choices.variant);
    }
}

void MainWindow::editSwitches() {
    // Under Automatic the switches shown are those the last CHIP-8 start got from the
    // programs database (the machine's own rules before any).
    MachineChoices choices = control_.choices();
    const Chip8Rules base =
        choices.automatic ? control_.chip8Plan().baseRules : chip8RulesFor(choices.variant);
    const QString name = choices.automatic
                             ? QStringLiteral("the last program (Automatic)")
                             : QString::fromUtf8(chip8VariantName(choices.variant));
    const auto edited = editSwitches_(this, name, withChip8Overrides(base, choices.overrides));
    if (edited) {
        choices.overrides = chip8OverridesBetween(base, *edited);
        control_.setChoices(choices);
    }
}

void MainWindow::chooseSpeed(int commandId) {
    // Like a variant, a speed takes effect at the next Load or Reset.
    MachineChoices choices = control_.choices();
    choices.speed = commandId == command::speedOwn
                        ? 0
                        : speedSteps[static_cast<std::size_t>(commandId - command::speedFirstStep)];
    control_.setChoices(choices);
    for (int id = command::speedOwn; id <= command::speedLastStep; ++id) {
        setMenuItemChecked(id, id == commandId);
    }
}

void MainWindow::toggleChip16Extended() {
    MachineChoices choices = control_.choices();
    const bool chosen = !choices.chip16Extended;
    choices.chip16Extended = chosen;
    control_.setChoices(choices);
    setMenuItemChecked(command::chip16Extended, chosen);
}

void MainWindow::toggleConsole() {
    const std::int32_t value = verboseConsole.fetch_xor(1) ^ 1;
    setMenuItemChecked(command::showConsole, value != 0);
    if (value != 0) {
        showConsole();
    } else {
        hideConsole();
    }
}

void MainWindow::showAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        handleCommand(command::cancel);
        return;
    }
    if (event->isAutoRepeat()) {
        return;
    }
    if (!control_.setInputKey(heldKeys_.press(*event), true)) {
        QMainWindow::keyPressEvent(event);
    }
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) {
        return;
    }
    if (!control_.setInputKey(heldKeys_.release(*event), false)) {
        QMainWindow::keyReleaseEvent(event);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    // Keys released while another window has the focus would stay down for good.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        control_.releaseKeys();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // Moved to another screen, the picture follows that screen's refresh.
    picture_->updateRefreshRate();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    handleCommand(command::cancel);
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!firstLocalFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty() || !QFileInfo(path).isFile() || ended_) {
        return;
    }
    event->acceptProposedAction();
    loadDroppedFile(path);
    repaintClientArea();
}
