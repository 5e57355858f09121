// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/tfrene.h"

#include <QCloseEvent>

namespace morvane {

TfRene::TfRene(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("名前の変更"));
    // Design placement: outer 218 × 400 at (191, 113), also the minimum: a client area of
    // 210 × 366.
    move(191, 113);
    resize(210, 366);
    setMinimumSize(210, 366);
    FormCreate();
}

void TfRene::FormCreate() {}

void TfRene::FormClose() {}

void TfRene::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
