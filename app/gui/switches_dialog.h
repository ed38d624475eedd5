#pragma once
// "CHIP-8 Rule Switches": one check box per rule switch, set as the shown rules have
// it. The edited rules apply at the next Load or Reset, like a variant.

#include "chip8/chip8_rules.h"

#include <QDialog>

#include <vector>

class QCheckBox;

class SwitchesDialog final : public QDialog {
  public:
    SwitchesDialog(QWidget* owner, const QString& variantName, const Chip8Rules& shown);

    // The shown rules with each switch as its box is now.
    Chip8Rules rules() const;
    // The box of switch `index` (in chip8Switches() order).
    QCheckBox* box(std::size_t index) const { return boxes_.at(index); }

  private:
    Chip8Rules shown_;
    std::vector<QCheckBox*> boxes_;
};
