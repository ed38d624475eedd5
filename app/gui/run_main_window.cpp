#include "app/gui/run_main_window.h"

#include "app/console_log.h"
#include "app/gui/main_window.h"

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
