#pragma once
// "About Quorvix": the program's name, version, notice and credits. Modal; the
// machine keeps running while it is open.

#include <QDialog>

class AboutDialog final : public QDialog {
  public:
    explicit AboutDialog(QWidget* owner);
};
