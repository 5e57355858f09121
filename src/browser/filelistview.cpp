// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/filelistview.h"

#include <QDrag>

namespace morvane {

void FileListView::startDrag(Qt::DropActions supportedActions)
{
    if (!m_dragFactory)
        return;
    QDrag *drag = m_dragFactory();
    if (drag == nullptr)
        return;
    // The items never leave the list by the drop's action: what a drop does to the files is the
    // target's business (a file manager copies; the folder tree moves and updates the list).
    // Qt disposes of the drag once it has run, as for the view's own drags.
    drag->exec(supportedActions, Qt::CopyAction);
}

} // namespace morvane
