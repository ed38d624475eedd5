#include "app/gui/run_main_window.h"

#include "app/console_control.h"
#include "app/gui/main_window.h"
#include "platform/console_log.h"

#include <QEventLoop>

int runMainWindow(const MachineChoices& choices, const std::optional<std::string>& rom,
                  bool sound) {
    MainWindow window(choices);
    if (sound) {
        window.setSoundOn(true);
    }
    const char* romArguments[] = {"quorvix", rom ? rom->c_str() : nullptr};
    window.control().takeRomFromCommandLine(rom ? 2 : 1, romArguments);
    QEventLoop loop;
    window.setEndedHandler([&loop] { loop.quit(); });
    window.initialise();
    if (!window.hasEnded()) {
        window.show();
        loop.exec();
    }
    hideConsole();
    return 7;
}
