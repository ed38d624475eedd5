// The GUI tests run inside one QApplication, on Qt's offscreen platform unless the
// environment names another.

#include "app/machine_control.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    // The offscreen platform's own screen (800 x 600) is smaller than the windows the
    // tests size, which never grow past their screen: a 3840 x 2160 one instead.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QUORVIX_OFFSCREEN_SCREEN);
    }
    initStartUp();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
