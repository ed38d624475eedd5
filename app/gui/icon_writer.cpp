// quorvix-icon <folder>: writes <folder>/<n>x<n>/apps/quorvix.png for the icon theme.

#include "app/gui/app_icon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvix-icon <folder>\n");
        return 2;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !drawAppIcon(size).save(folder + QStringLiteral("/quorvix.png"))) {
            std::fprintf(stderr, "quorvix-icon: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
