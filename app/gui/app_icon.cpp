#include "app/gui/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace {
// 16 x 16 cells; '#' is a lit cell of the letter, '+' a lit cell of its tail.
constexpr std::array<const char*, 16> glyph = {
    "................", //
    "................", //
    ".....######.....", //
    "....########....", //
    "...###....###...", //
    "...##......##...", //
    "...##......##...", //
    "...##......##...", //
    "...##......##...", //
    "...##...++.##...", //
    "...###...++##...", //
    "....#########...", //
    ".....######.++..", //
    ".............++.", //
    "................", //
    "................", //
};
} // namespace

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);

    const double side = size;
    QPainterPath screen;
    screen.addRoundedRect(QRectF(0.5, 0.5, side - 1.0, side - 1.0), side * 0.18, side * 0.18);
    QLinearGradient background(0.0, 0.0, side, side);
    background.setColorAt(0.0, QColor(0x23, 0x1f, 0x4d));
    background.setColorAt(1.0, QColor(0x0b, 0x0d, 0x1c));
    painter.fillPath(screen, background);
    painter.setPen(QPen(QColor(0x6c, 0xf2, 0xc2, 0x90), side / 48.0));
    painter.drawPath(screen);

    painter.setClipPath(screen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double cell = side / 16.0;
    QLinearGradient letter(0.0, 2 * cell, 0.0, 13 * cell);
    letter.setColorAt(0.0, QColor(0x6c, 0xf2, 0xc2));
    letter.setColorAt(1.0, QColor(0x2f, 0x9b, 0xff));
    const QColor tail(0xff, 0x8a, 0x3d);
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            const char c = glyph[static_cast<std::size_t>(row)][column];
            if (c == '.') {
                continue;
            }
            // Whole device pixels per cell edge, so small sizes stay sharp.
            const QRect block(QPoint(int(column * cell), int(row * cell)),
                              QPoint(int((column + 1) * cell) - 1, int((row + 1) * cell) - 1));
            painter.fillRect(block, c == '+' ? QBrush(tail) : QBrush(letter));
        }
    }
    // Faint scan lines, as on an old screen.
    if (size >= 48) {
        const QColor line(0, 0, 0, 0x38);
        for (int y = 0; y < size; y += std::max(2, size / 32)) {
            painter.fillRect(QRect(0, y, size, std::max(1, size / 128)), line);
        }
    }
    painter.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(drawAppIcon(size)));
    }
    return icon;
}
