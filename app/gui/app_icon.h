#pragma once
// The program's icon: a pixel-art "Q" on a dark screen, drawn in code at any size.

#include <QIcon>
#include <QImage>

// The icon at size x size pixels; needs no application object.
QImage drawAppIcon(int size);
// The icon at the usual sizes, for windows and dialogs.
QIcon appIcon();
