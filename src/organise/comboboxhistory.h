// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QString>

namespace morvane {

// Appends `entry` to the history list of `box` unless the list holds it already, letter case
// aside. The text in the box's edit field stays as it was. UI thread only.
inline void appendToHistory(QComboBox *box, const QString &entry)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(entry, Qt::CaseInsensitive) == 0)
            return;
    }
    const QString text = box->currentText();
    box->addItem(entry);
    box->setEditText(text);
}

} // namespace morvane
