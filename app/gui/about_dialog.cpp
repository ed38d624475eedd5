#include "app/gui/about_dialog.h"

#include "app/gui/app_icon.h"
#include "quorvix_version.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("About Quorvix"));
    setWindowIcon(appIcon());

    auto* description = new QLabel(
        QStringLiteral("Quorvix is a (S)Chip-8 and Chip-16 emulator written by Tavrin.\n"
                       "\n"
                       "Special Thanks:\n"
                       "The authors of the CHIP-8, SCHIP and Chip-16 documents, the makers "
                       "of homebrew programs for these machines, and everyone who tested "
                       "this emulator."),
        this);
    description->setWordWrap(true);
    description->setTextFormat(Qt::PlainText);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(32, 32));
    auto* version = new QLabel(
        QStringLiteral("Quorvix, Version %1").arg(QString::fromLatin1(quorvixVersion)), this);
    version->setTextFormat(Qt::PlainText);
    auto* notice = new QLabel(QStringLiteral("Copyright (C) 2025 Tavrin"), this);
    notice->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(description, 0, 0, 1, 3);
    layout->setRowMinimumHeight(1, 12);
    layout->addWidget(icon, 2, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 2, 1);
    layout->addWidget(notice, 3, 1);
    layout->addWidget(buttons, 2, 2, 2, 1, Qt::AlignBottom | Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    description->setFixedWidth(400);
}
