// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/filelistmodel.h"

#include "browser/thumbspill.h"

#include <algorithm>
#include <unordered_map>

namespace morvane {

namespace {

    // Boxes kept drawn: 32 MiB, some eighty boxes of 320 pixels, several screens' worth.
    constexpr qsizetype kDrawnBoxesKiB = 32 * 1024;

    browser::SortFacts factsOf(const ListEntry &e, const QByteArray &utf8Name)
    {
        return {std::string_view(utf8Name.constData(), static_cast<std::size_t>(utf8Name.size())),
            e.modifiedNs,
            e.taken,
            e.sizeBytes};
    }

    QString fromView(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractListModel(parent)
    , m_boxes(kDrawnBoxesKiB)
{}

FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListEntry &e = *m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole: // the whole name where the caption under the box is elided
        return e.caption;
    case Qt::DecorationRole:
        return box(index.row());
    case NativeNameRole:
        return e.nativeName;
    case RecordRole:
        return e.record;
    case KindRole:
        return e.record.isEmpty() ? QString() : e.record.front();
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsEditable
        | Qt::ItemIsDragEnabled;
}

const ListEntry &FileListModel::entry(int row) const
{
    Q_ASSERT(row >= 0 && row < count());
    return *m_rows[static_cast<std::size_t>(row)];
}

QImage FileListModel::box(int row) const
{
    if (row < 0 || row >= count())
        return {};
    const ListEntry *e = m_rows[static_cast<std::size_t>(row)].get();
    if (const QImage *drawn = m_boxes.object(e))
        return *drawn;
    QImage drawn = e->thumb.box();
    if (!drawn.isNull()) {
        drawn.setDevicePixelRatio(m_boxPixelRatio);
        const auto kib = std::max<qsizetype>(drawn.sizeInBytes() / 1024, 1);
        m_boxes.insert(e, new QImage(drawn), kib);
    }
    return drawn;
}

void FileListModel::setBoxPixelRatio(qreal ratio)
{
    if (ratio == m_boxPixelRatio || !(ratio > 0.0))
        return;
    m_boxPixelRatio = ratio;
    m_boxes.clear();
}

int FileListModel::compare(
    const ListEntry &a, const QString &captionA, const ListEntry &b, const QString &captionB) const
{
    if (byCaption())
        return m_order.compare(captionA, captionB);
    const QByteArray nameA = captionA.toUtf8();
    const QByteArray nameB = captionB.toUtf8();
    return browser::compareItems(m_sortOrder,
        factsOf(a, nameA),
        factsOf(b, nameB),
        [this](std::string_view x, std::string_view y) {
            return m_order.compare(fromView(x), fromView(y));
        });
}

int FileListModel::upperBound(const ListEntry &e, const QString &caption) const
{
    const auto it = std::upper_bound(m_rows.begin(),
        m_rows.end(),
        &e,
        [this, &caption](const ListEntry *x, const std::unique_ptr<ListEntry> &y) {
            return compare(*x, caption, *y, y->caption) < 0;
        });
    return static_cast<int>(it - m_rows.begin());
}

void FileListModel::lookUpTaken(ListEntry &e) const
{
    if (e.takenKnown || m_sortOrder.key != browser::SortKey::Taken)
        return;
    e.taken = m_lookUpTaken ? m_lookUpTaken(e) : std::nullopt;
    e.takenKnown = true;
}

void FileListModel::sortRows(std::vector<std::unique_ptr<ListEntry>> &rows) const
{
    // The names in UTF-8 once per item, not once per comparison.
    struct Keyed
    {
        std::unique_ptr<ListEntry> entry;
        QByteArray name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (std::unique_ptr<ListEntry> &e : rows) {
        QByteArray name = e->caption.toUtf8();
        keyed.push_back({std::move(e), std::move(name)});
    }
    const browser::TextCompare text = [this](std::string_view x, std::string_view y) {
        return m_order.compare(fromView(x), fromView(y));
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
        if (byCaption())
            return m_order.compare(a.entry->caption, b.entry->caption) < 0;
        return browser::compareItems(
                   m_sortOrder, factsOf(*a.entry, a.name), factsOf(*b.entry, b.name), text)
            < 0;
    });
    for (std::size_t r = 0; r < keyed.size(); ++r)
        rows[r] = std::move(keyed[r].entry);
}

void FileListModel::setSortOrder(const browser::SortOrder &order)
{
    m_sortOrder = order;
    for (const std::unique_ptr<ListEntry> &e : m_rows)
        lookUpTaken(*e);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const ListEntry *> held;
    held.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex &i : before)
        held.push_back(m_rows[static_cast<std::size_t>(i.row())].get());

    sortRows(m_rows);
    std::unordered_map<const ListEntry *, int> rowOf;
    for (std::size_t r = 0; r < m_rows.size(); ++r)
        rowOf.emplace(m_rows[r].get(), static_cast<int>(r));
    QModelIndexList after;
    after.reserve(before.size());
    for (const ListEntry *e : held)
        after << index(rowOf.at(e));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::setSpillFolder(const QByteArray &folder)
{
    m_spillFolder = folder;
    m_spill.reset();
}

int FileListModel::insertSorted(ListEntry entry)
{
    if (entry.thumb.isLarge()) {
        if (m_spill == nullptr && !m_spillFolder.isEmpty())
            m_spill = std::make_shared<ThumbSpill>(m_spillFolder);
        entry.thumb = entry.thumb.stored(m_spill);
    }
    lookUpTaken(entry);
    const int row = upperBound(entry, entry.caption);
    auto item = std::make_unique<ListEntry>(std::move(entry));
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, std::move(item));
    endInsertRows();
    return row;
}

void FileListModel::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_boxes.clear();
    m_rows.clear();
    m_spill.reset(); // the file goes with the last item that refers to it
    endResetModel();
}

void FileListModel::resetSorted(std::vector<ListEntry> entries)
{
    std::vector<std::unique_ptr<ListEntry>> rows;
    rows.reserve(entries.size());
    for (ListEntry &e : entries)
        rows.push_back(std::make_unique<ListEntry>(std::move(e)));
    for (const std::unique_ptr<ListEntry> &e : rows)
        lookUpTaken(*e);
    sortRows(rows);
    beginResetModel();
    m_boxes.clear();
    m_rows = std::move(rows);
    m_spill.reset();
    endResetModel();
}

bool FileListModel::fillEntry(int row, ThumbForm thumb, QStringList record, bool notify)
{
    if (row < 0 || row >= count())
        return false;
    ListEntry &e = *m_rows[static_cast<std::size_t>(row)];
    if (thumb.isLarge()) {
        if (m_spill == nullptr && !m_spillFolder.isEmpty())
            m_spill = std::make_shared<ThumbSpill>(m_spillFolder);
        thumb = thumb.stored(m_spill);
    }
    e.thumb = std::move(thumb);
    e.record = std::move(record);
    m_boxes.remove(&e);
    if (notify) {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {Qt::DecorationRole, RecordRole, KindRole});
    }
    return true;
}

void FileListModel::notifyAll()
{
    if (m_rows.empty())
        return;
    m_boxes.clear();
    emit dataChanged(index(0), index(count() - 1), {Qt::DecorationRole, RecordRole, KindRole});
}

int FileListModel::findLiveId(quint64 id, int hint) const
{
    if (hint >= 0 && hint < count() && m_rows[static_cast<std::size_t>(hint)]->liveId == id)
        return hint;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row]->liveId == id)
            return static_cast<int>(row);
    }
    return -1;
}

bool FileListModel::removeEntry(int row)
{
    if (row < 0 || row >= count())
        return false;
    beginRemoveRows({}, row, row);
    m_boxes.remove(m_rows[static_cast<std::size_t>(row)].get());
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

int FileListModel::setCaption(int row, const QString &caption, const QByteArray &nativeName)
{
    if (row < 0 || row >= count())
        return -1;
    // The target row as it would be without the item itself: search the list with the item taken
    // out, so equal neighbours never make it jump past itself.
    std::unique_ptr<ListEntry> item = std::move(m_rows[static_cast<std::size_t>(row)]);
    m_rows.erase(m_rows.begin() + row);
    const int target = upperBound(*item, caption);
    m_rows.insert(m_rows.begin() + row, std::move(item));

    ListEntry &e = *m_rows[static_cast<std::size_t>(row)];
    e.caption = caption;
    e.nativeName = nativeName;
    if (target != row) {
        // beginMoveRows counts the destination in the list before the move.
        const int destination = target > row ? target + 1 : target;
        beginMoveRows({}, row, row, {}, destination);
        std::unique_ptr<ListEntry> moving = std::move(m_rows[static_cast<std::size_t>(row)]);
        m_rows.erase(m_rows.begin() + row);
        m_rows.insert(m_rows.begin() + target, std::move(moving));
        endMoveRows();
    }
    const QModelIndex changed = index(target);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole, NativeNameRole});
    return target;
}

int FileListModel::findCaption(const QString &caption) const
{
    if (!byCaption()) {
        // Sorted by other facts, the caption does not tell the row.
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            if (m_rows[r]->caption == caption)
                return static_cast<int>(r);
        }
        return -1;
    }
    // Items that compare equal to the collator sit next to each other; look back from the upper
    // bound over that run for the exact caption.
    int row = upperBound(ListEntry {}, caption) - 1;
    while (row >= 0) {
        const QString &c = m_rows[static_cast<std::size_t>(row)]->caption;
        if (c == caption)
            return row;
        if (m_order.compare(c, caption) != 0)
            break;
        --row;
    }
    return -1;
}

int FileListModel::findNative(const QByteArray &nativeName) const
{
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (m_rows[row]->nativeName == nativeName)
            return static_cast<int>(row);
    }
    return -1;
}

} // namespace morvane
