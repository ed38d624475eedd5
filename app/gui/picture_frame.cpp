#include "app/gui/picture_frame.h"

#include <algorithm>

QRect placePicture(QSize area, QSize machine, PictureFit fit) {
    if (fit == PictureFit::Stretch || machine.isEmpty() || area.isEmpty()) {
        return {QPoint(0, 0), area};
    }
    QSize size = machine.scaled(area, Qt::KeepAspectRatio);
    if (fit == PictureFit::WholeMultiple) {
        const int multiple =
            std::min(area.width() / machine.width(), area.height() / machine.height());
        // An area smaller than the machine's own size still shows all of it, at its shape.
        if (multiple >= 1) {
            size = machine * multiple;
        }
    }
    return {QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size};
}

PictureFrame::PictureFrame(QWidget* picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    // The borders beside a placed picture show the window's background.
    setAutoFillBackground(true);
    picture_->setParent(this);
}

void PictureFrame::setFit(PictureFit fit) {
    fit_ = fit;
    placePictureNow();
}

void PictureFrame::setMachineSize(QSize size) {
    machine_ = size;
    placePictureNow();
}

void PictureFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePictureNow();
}

void PictureFrame::placePictureNow() {
    picture_->setGeometry(placePicture(size(), machine_, fit_));
}
