// quorvix: the desktop emulator.
// Usage: quorvix [--variant NAME] [--speed N] [--chip16-extended] [ROM]   (quorvix --help)

#include "app/emulator_state.h"
#include "app/gui/command_line.h"
#include "app/gui/run_main_window.h"
#include "app/machine_control.h"

#include <QApplication>
#include <QtGlobal>

#include <cstdio>

namespace {
// Qt's X11 backing store shares its image with the X server through MIT-SHM, and then
// has to make a round trip to the server before it paints again into any part it
// handed over. A game repaints the same parts 60 times a second, so each frame would
// cost that round trip: a request, a reply and a wake-up of Qt's X event thread for
// the GUI thread. Sent through the socket instead, the parts a frame changed need no
// reply. Read by Qt when it connects, so it must be set before the application.
void sendFramesThroughXSocket() {
    qputenv("QT_XCB_NO_MITSHM", "1");
}
} // namespace

int main(int argc, char* argv[]) {
    initStartUp();
    sendFramesThroughXSocket();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvix"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setDesktopFileName(QStringLiteral("quorvix"));
    // What Qt's own options (-platform, -style, ...) leave of the command line.
    const CommandLineOutcome commandLine = parseWindowCommandLine(argc, argv);
    if (!commandLine.choices) {
        std::fputs(commandLine.text.c_str(), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    const WindowCommandLine& choices = *commandLine.choices;
    chip8VariantChosen = choices.variant;
    chip8SpeedChosen = choices.speed;
    chip16ExtendedChosen = choices.chip16Extended;
    const char* romArguments[] = {argv[0], choices.rom ? choices.rom->c_str() : nullptr};
    takeRomFromCommandLine(choices.rom ? 2 : 1, romArguments);
    return runMainWindow();
}
