#include "app/gui/run_main_window.h"

#include "app/console_control.h"
#include "app/gui/main_window.h"
#include "platform/console_log.h"

#include <QEventLoop>

int runMainWindow() {
    MainWindow window;
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
