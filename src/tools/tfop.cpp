// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tfop.h"

#include <QCloseEvent>

namespace morvane {

TfOp::TfOp(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("オプション"));
    // A fixed window with a client area of 511 × 214.
    setFixedSize(511, 214);
    FormCreate();
}

void TfOp::FormCreate() {}

void TfOp::FormClose() {}

void TfOp::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
