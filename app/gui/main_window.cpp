#include "app/gui/main_window.h"

#include "app/console_control.h"
#include "app/gui/about_dialog.h"
#include "app/gui/app_icon.h"
#include "app/gui/debug_menu.h"
#include "app/gui/debugger_window.h"
#include "app/gui/picture_frame.h"
#include "app/gui/switches_dialog.h"
#include "chip8/chip8_switches.h"
#include "machine/machine_settings.h"
#include "platform/command_ids.h"
#include "platform/console_log.h"
#include "platform/qt/picture_widget.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
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
#include <QStatusBar>
#include <QWindow>

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

// Why a ROM did not start, for the window's status line.
QString startFailure(const std::string& romPath) {
    if (romPath.empty()) {
        return QStringLiteral("No ROM to start: choose one with File → Load.");
    }
    const QString path = QFile::decodeName(romPath.c_str());
    const QFileInfo file(path);
    const QString reason = !file.exists() ? QStringLiteral("there is no such file")
                           : file.isDir() ? QStringLiteral("it is a folder")
                                          : QStringLiteral("the file cannot be read");
    return QStringLiteral("Cannot load %1: %2.").arg(path, reason);
}

// Files are only ever read: a drop that would move one (so that the file manager
// deletes its own copy) is taken as a copy, and one that cannot be a copy is refused.
bool acceptAsCopy(QDropEvent* event) {
    if (!event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
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
    : stateMenus_(
          this, control_, [this](const QString& text) { showStatusMessage(text); },
          [this] { return statusMessage(); }),
      picture_(new PictureWidget(this)), debugMenu_(std::make_unique<DebugMenu>(control_)),
      frame_(new PictureFrame(picture_, this)), chooseRom_(chooseRomWithDialog),
      editSwitches_(editSwitchesWithDialog) {
    control_.setChoices(choices);
    setWindowTitle(QStringLiteral("Quorvix"));
    setWindowIcon(appIcon());
    setCentralWidget(frame_);
    // Shown only while it has something to say.
    statusBar()->hide();
    setAcceptDrops(true);
    buildMenus();
    statusBar()->hide();
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
    // Also the window's own: the shortcuts work while full screen hides the menu bar.
    addAction(action);
    actions_[commandId] = action;
    return action;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("Reset"), command::reset, false)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    addCommand(file, QStringLiteral("Load"), command::load, false)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(file, QStringLiteral("Close"), command::close, false)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    file->addSeparator();
    stateMenus_.build(file, [this](QMenu* menu, const QString& text, int commandId) {
        return addCommand(menu, text, commandId, false);
    });
    file->addSeparator();
    addCommand(file, QStringLiteral("E&xit"), command::exit, false)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* screen = menuBar()->addMenu(QStringLiteral("Screen"));
    for (int scale = 1; scale <= 4; ++scale) {
        addCommand(screen, QStringLiteral("Window x%1").arg(scale),
                   command::windowScaleBase + scale, true);
    }
    screen->addSeparator();
    addCommand(screen, QStringLiteral("Fullscreen"), command::fullscreen, true)
        ->setShortcut(QKeySequence(Qt::Key_F11));
    addCommand(screen, QStringLiteral("Keep Aspect Ratio"), command::keepAspectRatio, true);
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
    buildSoundMenu(machine);

    QMenu* debug = menuBar()->addMenu(QStringLiteral("&Debug"));
    debugMenu_->build(debug, [this](QMenu* menu, const QString& text, int id, bool checkable) {
        return addCommand(menu, text, id, checkable);
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, QStringLiteral("&About ..."), command::about, false);

    // An open menu takes the keyboard, so key releases would never reach the window:
    // what is held counts as released when a menu opens, and what was released (or
    // pressed) while it was open stays released when it closes.
    for (QMenu* menu : {file, screen, machine, debug, help}) {
        connect(menu, &QMenu::aboutToShow, this, [this] { control_.releaseKeys(); });
        connect(menu, &QMenu::aboutToHide, this, [this] { control_.releaseKeys(); });
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
        reportStartOutcome();
        // The window was sized for the start-up mode; size it for the ROM's machine.
        sizeForMachine();
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
        reportStartOutcome();
        // A new rotation may stand the picture on its side, or back.
        if (rotationTurnsSideways(control_.chip8Plan().rotation) != sideways) {
            sizeForMachine();
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
    case command::fullscreen: setFullscreen(!isFullScreen()); break;
    case command::keepAspectRatio: toggleKeepAspectRatio(); break;
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
    case command::sound:
    case command::volumeFirstStep:
    case command::volumeFirstStep + 1:
    case command::volumeFirstStep + 2:
    case command::volumeLastStep: handleSoundCommand(commandId); break;
    default:
        // Ids without a menu item do nothing.
        if (!stateMenus_.handleCommand(commandId)) {
            debugMenu_->handleCommand(commandId);
        }
        break;
    }
    // Load, Reset and Close change the machine the Debug items act on.
    debugMenu_->updateItems();
}

QSize MainWindow::machinePictureSize() const {
    if (control_.mode() != MachineKind::Chip8) {
        return {320, 240};
    }
    // A picture on its side takes the shape of a screen on its side.
    return rotationTurnsSideways(control_.chip8Plan().rotation) ? QSize(256, 512) : QSize(512, 256);
}

void MainWindow::applyWindowScale(int scale) {
    const int s = std::clamp(scale, 1, 4);
    windowScale_ = s;
    frame_->setMachineSize(machinePictureSize());
    const QSize client = machinePictureSize() * s;
    resizeClientArea(client.width(), client.height());
    for (int i = 1; i <= 4; ++i) {
        setMenuItemChecked(command::windowScaleBase + i, i == s);
    }
}

void MainWindow::resizeClientArea(int width, int height) {
    if (isFullScreen()) {
        setFullscreen(false);
    }
    if (isMaximized()) {
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
        const QSize client = frame_->size();
        const QSize target = fitOnScreen(wanted, client);
        if (client == target) {
            break;
        }
        resize(size() + target - client);
    }
    moveOntoScreen();
}

QSize MainWindow::fitOnScreen(QSize wanted, QSize client) const {
    const QScreen* shownOn = screen();
    if (shownOn == nullptr) {
        return wanted;
    }
    // What the window adds around its client area: the menu bar, a status line and the
    // frame a window manager draws (known once the window is shown).
    const QSize around = frameGeometry().size() - client;
    const QSize room = shownOn->availableGeometry().size() - around;
    if (wanted.width() <= room.width() && wanted.height() <= room.height()) {
        return wanted;
    }
    return wanted.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
}

void MainWindow::moveOntoScreen() {
    const QScreen* shownOn = screen();
    if (shownOn == nullptr) {
        return;
    }
    // The close box and the menu stay reachable: a window that would reach past the
    // available area is moved back into it, as far as it fits.
    const QRect available = shownOn->availableGeometry();
    const QRect outer = frameGeometry();
    const int x =
        std::max(available.left(), std::min(outer.left(), available.right() + 1 - outer.width()));
    const int y =
        std::max(available.top(), std::min(outer.top(), available.bottom() + 1 - outer.height()));
    if (x != outer.left() || y != outer.top()) {
        move(x, y);
    }
}

void MainWindow::setFullscreen(bool on) {
    setMenuItemChecked(command::fullscreen, on);
    if (on == isFullScreen()) {
        return;
    }
    // Without a window manager nobody acts on the full-screen state: the window takes
    // the screen, and later its old place, itself (through its platform window, since
    // a widget's own geometry change would end the state).
    if (on) {
        geometryBeforeFullscreen_ = geometry();
        menuBar()->hide();
        frame_->setFit(PictureFit::WholeMultiple);
        showFullScreen();
        if (const QScreen* shownOn = screen(); shownOn != nullptr && windowHandle() != nullptr) {
            windowHandle()->setGeometry(shownOn->geometry());
        }
    } else {
        showNormal();
        if (windowHandle() != nullptr) {
            windowHandle()->setGeometry(geometryBeforeFullscreen_);
        }
        menuBar()->show();
        frame_->setFit(isMenuItemChecked(command::keepAspectRatio) ? PictureFit::KeepAspectRatio
                                                                   : PictureFit::Stretch);
    }
}

void MainWindow::toggleKeepAspectRatio() {
    const bool keep = !isMenuItemChecked(command::keepAspectRatio);
    setMenuItemChecked(command::keepAspectRatio, keep);
    // Full screen keeps its whole multiple; the choice shows when it ends.
    if (!isFullScreen()) {
        frame_->setFit(keep ? PictureFit::KeepAspectRatio : PictureFit::Stretch);
    }
}

void MainWindow::sizeForMachine() {
    frame_->setMachineSize(machinePictureSize());
    if (!isFullScreen()) {
        applyWindowScale(windowScale_);
    }
}

void MainWindow::reportStartOutcome() {
    const Machine* machine = control_.machine();
    const bool runs = machine != nullptr && machine->running();
    showStatusMessage(runs ? QString() : startFailure(control_.romPath()));
}

void MainWindow::showStatusMessage(const QString& text) {
    const bool shown = !statusBar()->isHidden();
    const bool show = !text.isEmpty();
    statusBar()->showMessage(text);
    if (shown == show) {
        return;
    }
    // The status line comes and goes below the picture, which keeps its size.
    const QSize client = frame_->size();
    statusBar()->setVisible(show);
    if (!isFullScreen() && !isMaximized()) {
        resizeClientArea(client.width(), client.height());
    }
}

QString MainWindow::statusMessage() const {
    return statusBar()->isHidden() ? QString() : statusBar()->currentMessage();
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
    reportStartOutcome();
    sizeForMachine();
}

void MainWindow::loadDroppedFile(const QString& path) {
    const QFileInfo file(path);
    control_.startDroppedRom(QFile::encodeName(file.absoluteFilePath()).toStdString(),
                             QFile::encodeName(file.fileName()).toStdString());
    reportStartOutcome();
    sizeForMachine();
}

QSize MainWindow::clientSize() const {
    return frame_->size();
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
    const QString name = choices.automatic ? QStringLiteral("the last program (Automatic)")
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
    // An open menu passes the key presses it does not use on to the window, but not
    // their releases: such a press would hold its key until it is pressed again.
    if (event->isAutoRepeat() || QApplication::activePopupWidget() != nullptr) {
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
        acceptAsCopy(event);
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!firstLocalFile(event->mimeData()).isEmpty()) {
        acceptAsCopy(event);
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty() || !QFileInfo(path).isFile() || ended_ || !acceptAsCopy(event)) {
        return;
    }
    loadDroppedFile(path);
    repaintClientArea();
}
