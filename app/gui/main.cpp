// quorvix: the desktop emulator. Usage: quorvix [rom-file]

#include "app/gui/run_main_window.h"
#include "app/machine_control.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    initStartUp();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvix"));
    QApplication::setDesktopFileName(QStringLiteral("quorvix"));
    // What Qt's own options (-platform, -style, ...) leave of the command line.
    takeRomFromCommandLine(argc, argv);
    return runMainWindow();
}
