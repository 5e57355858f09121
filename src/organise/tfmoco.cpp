// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/tfmoco.h"

#include <QCloseEvent>

namespace morvane {

TfMoco::TfMoco(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("フォルダの操作とファイルのコピー、移動"));
    // Design placement: outer 410 × 390 at (299, 176), a client area of 402 × 356; the outer
    // minimum 410 × 336 leaves a client area of at least 402 × 302.
    move(299, 176);
    resize(402, 356);
    setMinimumSize(402, 302);
    FormCreate();
}

void TfMoco::FormCreate() {}

void TfMoco::FormClose() {}

void TfMoco::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
