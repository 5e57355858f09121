// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

namespace morvane {

// Paints an item of the file list (its box above, its caption under it, wrapped onto the lines
// there is room for) and gives every item the same size, so the list can lay out thousands of
// items without asking each one. UI thread only.
class ListItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The size of every item, in logical pixels.
    void setItemSize(const QSize &size) { m_size = size; }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return m_size;
    }

private:
    QSize m_size {72, 72};
};

} // namespace morvane
