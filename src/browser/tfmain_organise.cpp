// SPDX-License-Identifier: GPL-3.0-or-later
// What the organising dialogs ask of the main window's list: an item follows a renamed file,
// the moved files' items leave, the selected names are read again.
#include "browser/filelistmodel.h"
#include "browser/listselectionmodel.h"
#include "browser/tfmain.h"
#include "platform/folderscan.h"

#include <QItemSelectionModel>
#include <QListView>

namespace morvane {

bool TfMain::RenameListItem(const QByteArray &oldName, const QByteArray &newName)
{
    const int row = m_list->findNative(oldName);
    if (row < 0)
        return false;
    m_list->setCaption(row, platform::captionOfName(newName), newName);
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

} // namespace morvane
