// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listentry.h"
#include "browser/sortorder.h"
#include "platform/captionorder.h"

#include <QAbstractListModel>
#include <QCache>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace morvane {

// The items of the file list (`ListView1`), kept sorted at every moment: by caption in the file
// list's order (platform::CaptionOrder) unless another sort order is chosen (setSortOrder). An
// insert finds its row by binary search, so it costs O(log n) comparisons and never re-sorts. Rows
// are list indexes. Items hold their boxes in compact form; a box is drawn when the view asks for
// it and kept in a small cache of the boxes drawn last (about what a few screens show), so a list's
// memory grows with its items' compact forms, not with its boxes. UI thread only.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        NativeNameRole =
            Qt::UserRole + 1, // QByteArray: the file's name as the file system holds it
        RecordRole, // QStringList: the five sub-items (`FileRecord`)
        KindRole // QString: sub-item 0, "0" picture or "1" other file
    };

    explicit FileListModel(QObject *parent = nullptr);
    ~FileListModel() override;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Number of items.
    [[nodiscard]] int count() const noexcept { return static_cast<int>(m_rows.size()); }

    // The item at list index `row`; `row` must be in [0, count()).
    [[nodiscard]] const ListEntry &entry(int row) const;

    // Inserts `entry` after every item whose caption sorts before or equal to its caption and
    // returns its list index.
    int insertSorted(ListEntry entry);

    // Removes every item.
    void clear();

    // The order the items are kept in (by name ascending unless set). Setting another re-sorts
    // the items in place, keeping their boxes, with the view's selection and current item
    // following their items. Sorting by the date taken first looks up the date of each item
    // that has not been looked up, with `lookUpTaken`.
    [[nodiscard]] const browser::SortOrder &sortOrder() const noexcept { return m_sortOrder; }
    void setSortOrder(const browser::SortOrder &order);
    using TakenLookup = std::function<std::optional<std::int64_t>(const ListEntry &)>;
    void setTakenLookup(TakenLookup lookUpTaken) { m_lookUpTaken = std::move(lookUpTaken); }
    // Replaces every item with `entries`, in one reset: in the sort order, entries that compare
    // equal in the order given (as inserting them one by one with insertSorted would).
    void resetSorted(std::vector<ListEntry> entries);

    // Gives the item at `row` its box and record once they are known (the live build's fill),
    // in place. With `notify` the view repaints the item; without, it is left to a later
    // notifyAll(). False when `row` is out of range.
    bool fillEntry(int row, ThumbForm thumb, QStringList record, bool notify);
    // Tells the view that every item's box and record may have changed.
    void notifyAll();

    // List index of the item with live id `id` (not 0), or -1. `hint` is looked at first.
    [[nodiscard]] int findLiveId(quint64 id, int hint = -1) const;

    // The large boxes of items inserted from now on go to an unnamed file in `folder` (native
    // path), out of memory; they stay in memory, compressed, when no file can be made or written
    // there, or when `folder` is empty (the default).
    void setSpillFolder(const QByteArray &folder);

    // Removes the item at `row`; false when `row` is out of range.
    bool removeEntry(int row);

    // Gives the item at `row` a new caption (and native name) and moves it to the row its caption
    // sorts to. Returns the new list index, or -1 when `row` is out of range.
    int setCaption(int row, const QString &caption, const QByteArray &nativeName);

    // List index of the item whose caption equals `caption` exactly, or -1.
    [[nodiscard]] int findCaption(const QString &caption) const;

    // The box of the item at `row` (what Qt::DecorationRole gives): boxSize x boxSize,
    // Format_RGB32; null when `row` is out of range or memory runs out. Its device pixel ratio is
    // the one set here: boxes built in device pixels are then drawn in the logical box.
    [[nodiscard]] QImage box(int row) const;
    void setBoxPixelRatio(qreal ratio);

    // List index of the first item whose native name equals `nativeName` byte for byte, or -1.
    // Linear in the list: native names are not in caption order.
    [[nodiscard]] int findNative(const QByteArray &nativeName) const;

private:
    // Index of the first item that sorts after `e` (compared by `caption` in place of its own).
    [[nodiscard]] int upperBound(const ListEntry &e, const QString &caption) const;
    // The order of two items under the sort order: negative when `a` comes first.
    [[nodiscard]] int compare(const ListEntry &a,
        const QString &captionA,
        const ListEntry &b,
        const QString &captionB) const;
    // Whether the items are in the caption order alone, where captions find their rows by search.
    [[nodiscard]] bool byCaption() const noexcept { return m_sortOrder == browser::SortOrder {}; }
    void lookUpTaken(ListEntry &e) const;
    // Sorts `rows` in the sort order, stably.
    void sortRows(std::vector<std::unique_ptr<ListEntry>> &rows) const;

    // Items by list index. Pointers keep an insert in the middle to moving 8 bytes per later row.
    std::vector<std::unique_ptr<ListEntry>> m_rows;
    platform::CaptionOrder m_order;
    browser::SortOrder m_sortOrder;
    TakenLookup m_lookUpTaken;
    QByteArray m_spillFolder;
    std::shared_ptr<ThumbSpill> m_spill; // made at the first insert after a clear
    // Boxes drawn last, by item, cost in KiB.
    mutable QCache<const ListEntry *, QImage> m_boxes;
    qreal m_boxPixelRatio = 1.0;
};

} // namespace morvane
