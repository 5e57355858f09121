// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListView>

#include <functional>

class QDrag;

namespace morvane {

// The file list's view (`ListView1`): a QListView whose drags are made by its owner, so that
// they carry the files' native paths and the drag cursor of the selection, not the model's rows.
// UI thread only.
class FileListView : public QListView
{
public:
    using QListView::QListView;

    // Makes the drag of the selected items (a QDrag parented to the view), which the view runs.
    // A factory that returns null starts no drag.
    void setDragFactory(std::function<QDrag *()> factory) { m_dragFactory = std::move(factory); }

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    std::function<QDrag *()> m_dragFactory;
};

} // namespace morvane
