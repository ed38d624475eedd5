#pragma once
// The main window's client area: it holds the picture of the running machine and
// places it. Normally the picture covers the whole area, stretched; with the aspect
// ratio kept it is the largest rectangle of the machine's shape; in full screen the
// largest whole multiple of the machine's size, so that every machine pixel stays the
// same size. Those two are centred, and the rest shows the window's background colour.

#include <QRect>
#include <QSize>
#include <QWidget>

enum class PictureFit { Stretch, KeepAspectRatio, WholeMultiple };

// Where the picture of a machine whose picture is `machine` at scale 1 goes in an area
// of `area`.
QRect placePicture(QSize area, QSize machine, PictureFit fit);

class PictureFrame final : public QWidget {
  public:
    PictureFrame(QWidget* picture, QWidget* parent);

    PictureFit fit() const { return fit_; }
    void setFit(PictureFit fit);
    void setMachineSize(QSize size);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placePictureNow();

    QWidget* picture_;
    PictureFit fit_ = PictureFit::Stretch;
    QSize machine_{512, 256};
};
