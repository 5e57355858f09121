// SPDX-License-Identifier: GPL-3.0-or-later
// What the organising dialogs ask of the main window's list: an item follows a renamed file,
// the moved files' items leave, the selected names are read again.
#include "browser/filelistmodel.h"
#include "browser/listselectionmodel.h"
#include "browser/tfmain.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QListView>

namespace morvane {

namespace {

    // Files are told apart by their bytes: on this platform "A.jpg" and "a.jpg" are two files, so
    // an item is found by its exact native name, never by a caption compared without case.
    int rowOfNative(const FileListModel &list, const QByteArray &nativeName)
    {
        for (int row = 0; row < list.count(); ++row) {
            if (list.entry(row).nativeName == nativeName)
                return row;
        }
        return -1;
    }

} // namespace

bool TfMain::RenameListItem(const QByteArray &oldName, const QByteArray &newName)
{
    const int row = rowOfNative(*m_list, oldName);
    if (row < 0)
        return false;
    m_list->setCaption(row, QFile::decodeName(newName), newName);
    return true;
}

void TfMain::RebuildSelectedNames()
{
    SelectedNames.clear();
    const int count = m_list->count();
    const std::vector<char> selected =
        selectedRowFlags(ListView1->selectionModel()->selection(), count);
    for (int row = 0; row < count; ++row) {
        if (selected[static_cast<std::size_t>(row)] != 0)
            SelectedNames.append(m_list->entry(row).nativeName);
    }
}

void TfMain::RemoveSelectedItems()
{
    const QList<QByteArray> names = SelectedNames;
    for (const QByteArray &name : names) {
        const int row = rowOfNative(*m_list, name);
        if (row < 0)
            break;
        m_list->removeEntry(row);
    }
    RebuildSelectedNames();
}

} // namespace morvane
