#include "app/gui/switches_dialog.h"

#include "chip8/chip8_switches.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

SwitchesDialog::SwitchesDialog(QWidget* owner, const QString& variantName, const Chip8Rules& shown)
    : QDialog(owner), shown_(shown) {
    setWindowTitle(QStringLiteral("CHIP-8 Rule Switches"));
    auto* layout = new QVBoxLayout(this);
    auto* heading =
        new QLabel(QStringLiteral("The switches of %1. Changes apply at the next Load or Reset.")
                       .arg(variantName),
                   this);
    heading->setTextFormat(Qt::PlainText);
    layout->addWidget(heading);
    for (const Chip8Switch& each : chip8Switches()) {
        auto* box =
            new QCheckBox(QStringLiteral("%1  (%2)")
                              .arg(QString::fromUtf8(each.label), QString::fromUtf8(each.name)),
                          this);
        box->setChecked(each.read(shown));
        layout->addWidget(box);
        boxes_.push_back(box);
    }
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

Chip8Rules SwitchesDialog::rules() const {
    Chip8Rules rules = shown_;
    const auto switches = chip8Switches();
    for (std::size_t i = 0; i < switches.size(); ++i) {
        switches[i].write(rules, boxes_[i]->isChecked());
    }
    return rules;
}
