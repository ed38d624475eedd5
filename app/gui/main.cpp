// quorvix: the desktop emulator.
// Usage: quorvix [--variant NAME|auto] [--quirk NAME=on|off]... [--speed N] [--rotate DEGREES]
//        [--chip16-extended] [--sound] [ROM]   (quorvix --help)

#include "app/gui/command_line.h"
#include "app/gui/run_main_window.h"
#include "app/machine_control.h"
#include "platform/console_log.h"
#include "quorvix_version.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    initStartUp();
    QApplication::setApplicationName(QStringLiteral("Quorvix"));
    QApplication::setApplicationVersion(QString::fromLatin1(quorvixVersion));
    QApplication::setDesktopFileName(QStringLiteral("quorvix"));
    // Before the toolkit starts: the help, the version and a usage error need no display.
    const CommandLineOutcome commandLine = parseWindowCommandLine(argc, argv);
    if (!commandLine.choices) {
        std::fputs(commandLine.text.c_str(), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    QApplication application(argc, argv);
    // The Console window, opened later, shows what was written before.
    consoleKeepsHistory = true;
    const WindowCommandLine& options = *commandLine.choices;
    return runMainWindow(options.machine, options.rom, options.sound);
}
