// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

class QFont;

namespace morvane {

// The lines a caption is shown on under its box: broken at word boundaries where there are
// any and anywhere otherwise (camera names such as "IMG_0001.JPG" have no word boundary, and
// eliding them after a few letters would make every photo of a folder look alike), at most
// `maxLines` lines of at most `width` pixels, the last one elided when the caption needs more.
// An empty caption or no room gives no lines.
[[nodiscard]] QStringList captionLines(
    const QString &caption, const QFont &font, int width, int maxLines);

// Paints an item of the file list (its box above, its caption under it on the lines there is
// room for) and gives every item the same size, so the list can lay out thousands of items
// without asking each one. UI thread only.
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

    void paint(QPainter *painter,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

    // A caption edited in place is handed to `handler` with the confirmed text instead of being
    // written into the model: the file is renamed first, and the item changes only if that
    // worked. Without a handler an edit changes nothing.
    void setCommitHandler(std::function<void(const QModelIndex &, const QString &)> handler)
    {
        m_commit = std::move(handler);
    }
    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    // The editor sits over the caption, under the box.
    void updateEditorGeometry(QWidget *editor,
        const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

private:
    QSize m_size {72, 72};
    std::function<void(const QModelIndex &, const QString &)> m_commit;
};

} // namespace morvane
