#pragma once
// The program's one top-level window: the picture of the running machine as its
// client area and the menu that carries every command. Every menu item, the close
// box, Escape and the commands posted by workers arrive at handleCommand.

#include "app/gui/key_mapping.h"
#include "app/gui/state_menus.h"
#include "app/gui/window_sound.h"
#include "app/machine_control.h"
#include "chip8/chip8_rules.h"
#include "platform/qt/host_window.h"

#include <QMainWindow>
#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class PictureFrame;
class DebugMenu;
class PictureWidget;
class QAction;

class MainWindow final : public QMainWindow, public HostWindow {
  public:
    // Returns the chosen file, or an empty string when the user cancelled.
    using RomChooser = std::function<QString(QWidget* owner)>;
    // Shows the rule switches of the named rules and returns the edited rules, or
    // nothing when the user cancelled.
    using SwitchEditor = std::function<std::optional<Chip8Rules>(
        QWidget* owner, const QString& variantName, const Chip8Rules& shown)>;

    explicit MainWindow(const MachineChoices& choices = {});
    ~MainWindow() override;

    // The initialisation, in this order: become the main window, size the client area
    // for the window scale and the current mode, switch the flicker filter on, open the
    // console when verboseConsole is set, start the ROM named on the command line.
    void initialise();

    void handleCommand(int commandId) override;

    // Client area of (512 s x 256 s) for Chip-8 (256 s x 512 s when its picture is turned
    // on its side), (320 s x 240 s) for Chip-16; exactly one "Window xN" item carries the
    // check mark. Leaves full screen.
    void applyWindowScale(int scale);
    // Makes the client area exactly width x height, keeping the top-left corner; where
    // the window would not fit in the screen's available area, the client area takes
    // the largest size of that shape that lets it fit, and the window moves into it.
    void resizeClientArea(int width, int height);
    // Drops the shown frame: the plain background shows until the next frame.
    void repaintClientArea();

    // Load: the file dialog, then the start sequence and the window sizing.
    void loadRom();
    // What Load does once a file is chosen: a choice longer than the dialog's buffers
    // loads nothing. A dropped file loads the same way, whatever the length of its name.
    void loadRomFile(const QString& path);
    void loadDroppedFile(const QString& path);
    void setRomChooser(RomChooser chooser) { chooseRom_ = std::move(chooser); }
    void setSwitchEditor(SwitchEditor editor) { editSwitches_ = std::move(editor); }

    QSize clientSize() const;
    PictureFrame* pictureFrame() const { return frame_; }
    bool isMenuItemChecked(int commandId) const;
    QAction* menuAction(int commandId) const;
    PictureWidget* picture() const { return picture_; }
    // The machine the window shows and the user's choices for it.
    MachineControl& control() { return control_; }
    // Sound on or off (the Machine menu's Sound item; off at start).
    void setSoundOn(bool on);
    WindowSound& sound() { return sound_; }
    // The File menu's save-state items.
    StateMenus& stateMenus() { return stateMenus_; }
    // One line below the picture (why the last start failed, a refused state; the
    // picture keeps its size); empty hides it.
    void showStatusMessage(const QString& text);
    // What that line shows, or an empty string while it is hidden.
    QString statusMessage() const;
    // The Debug menu and its Debugger window.
    DebugMenu& debugMenu() { return *debugMenu_; }
    // The scale of the last "Window xN" (2 at start).
    int windowScale() const { return windowScale_; }

    // Ending the window (Exit, the close box, Escape) hides the window, stops both
    // machines and calls the handler; commands arriving later are ignored.
    void setEndedHandler(std::function<void()> handler) { endedHandler_ = std::move(handler); }
    bool hasEnded() const { return ended_; }
    int result() const { return result_; }

    QWidget* hostWidget() override { return this; }
    void setMenuItemChecked(int commandId, bool checked) override;
    PictureSurface* pictureSurface() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildMenus();
    // The Sound item and the Volume submenu (app/gui/sound_menu.cpp).
    void buildSoundMenu(QMenu* machine);
    void handleSoundCommand(int commandId);
    QAction* addCommand(QMenu* menu, const QString& text, int commandId, bool checkable);
    void endWindow(int result);
    void toggleFlickerFilter();
    void chooseVariant(Chip8Variant variant);
    void chooseAutomatic();
    void checkVariantItems();
    void editSwitches();
    void chooseSpeed(int commandId);
    void toggleChip16Extended();
    void toggleConsole();
    void showAbout();
    // Full screen hides the menu bar (the items' shortcuts still work) and shows the
    // picture at the largest whole multiple of the machine's size.
    void setFullscreen(bool on);
    void toggleKeepAspectRatio();
    // After a start: the picture takes the machine's size, the window that size at the
    // current scale (unless it fills the screen), and a failed start says why.
    void sizeForMachine();
    void reportStartOutcome();
    QSize machinePictureSize() const;
    QSize fitOnScreen(QSize wanted, QSize client) const;
    void moveOntoScreen();

    MachineControl control_;
    WindowSound sound_{control_};
    StateMenus stateMenus_;
    PictureWidget* picture_;
    std::unique_ptr<DebugMenu> debugMenu_;
    int windowScale_ = 2;
    PictureFrame* frame_;
    QRect geometryBeforeFullscreen_;
    std::map<int, QAction*> actions_;
    RomChooser chooseRom_;
    SwitchEditor editSwitches_;
    HeldKeys heldKeys_;
    std::function<void()> endedHandler_;
    bool ended_ = false;
    int result_ = 0;
};
