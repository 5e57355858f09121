// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/tfview.h"

#include <QCloseEvent>

namespace morvane {

TfView::TfView(QWidget *parent)
    : ViewerBase(parent)
{
    setWindowTitle(QString());
    // Design placement: outer 640 × 480 at (252, 145), a client area of 632 × 446.
    move(252, 145);
    resize(632, 446);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    FormCreate();
}

void TfView::FormCreate() {}

void TfView::FormClose() {}

void TfView::closeEvent(QCloseEvent *event)
{
    // Closing only hides the viewer; the window lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
