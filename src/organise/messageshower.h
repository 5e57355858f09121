// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace morvane {

// How the organising dialogs show their own messages: a box of the given icon (NoIcon for a
// plain box), caption and text, with an OK button. Tests record the messages instead.
using MessageShower =
    std::function<void(QMessageBox::Icon icon, const QString &caption, const QString &text)>;

// Shows the message through `shower`, or as a modal box over `parent` when it is empty.
// UI thread only.
inline void showMessage(const MessageShower &shower,
    QWidget *parent,
    QMessageBox::Icon icon,
    const QString &caption,
    const QString &text)
{
    if (shower) {
        shower(icon, caption, text);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace morvane
