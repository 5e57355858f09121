// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/listselectionmodel.h"

#include <QSignalBlocker>

#include <algorithm>
#include <vector>

namespace morvane {

namespace {

    // Whether every range lies in column 0 of the top level.
    bool isFlat(const QItemSelection &selection)
    {
        return std::all_of(selection.begin(), selection.end(), [](const QItemSelectionRange &r) {
            return !r.parent().isValid() && r.left() == 0 && r.right() == 0;
        });
    }

    // The runs of rows where `in` is set and `out` is not.
    QItemSelection runs(
        const QAbstractItemModel &model, const std::vector<char> &in, const std::vector<char> &out)
    {
        QItemSelection result;
        const int count = static_cast<int>(in.size());
        int start = -1;
        for (int row = 0; row <= count; ++row) {
            const bool on = row < count && in[static_cast<std::size_t>(row)] != 0
                && out[static_cast<std::size_t>(row)] == 0;
            if (on && start < 0)
                start = row;
            if (!on && start >= 0) {
                result.select(model.index(start, 0), model.index(row - 1, 0));
                start = -1;
            }
        }
        return result;
    }

} // namespace

std::vector<char> selectedRowFlags(const QItemSelection &selection, int count)
{
    std::vector<char> rows(static_cast<std::size_t>(std::max(count, 0)), 0);
    for (const QItemSelectionRange &r : selection) {
        if (!r.isValid() || r.parent().isValid())
            continue;
        const int last = std::min(r.bottom(), count - 1);
        for (int row = std::max(r.top(), 0); row <= last; ++row)
            rows[static_cast<std::size_t>(row)] = 1;
    }
    return rows;
}

void ListSelectionModel::select(
    const QItemSelection &selection, QItemSelectionModel::SelectionFlags command)
{
    const bool replaces = command.testFlag(Clear) && command.testFlag(Select)
        && !command.testAnyFlags(Toggle | Deselect | Current);
    const QAbstractItemModel *m = model();
    if (!replaces || m == nullptr || m->columnCount() != 1 || selection.isEmpty() || !hasSelection()
        || !isFlat(selection)) {
        QItemSelectionModel::select(selection, command);
        return;
    }
    const QItemSelection before = this->selection();
    if (!isFlat(before)) {
        QItemSelectionModel::select(selection, command);
        return;
    }
    {
        // With one side empty Qt reports the change without comparing ranges; the two reports
        // are held back and replaced by the one difference found below.
        const QSignalBlocker blocker(this);
        QItemSelectionModel::select(QItemSelection(), Clear);
        QItemSelectionModel::select(
            selection, command & ~QItemSelectionModel::SelectionFlags(Clear));
    }
    const int count = m->rowCount();
    const std::vector<char> oldRows = selectedRowFlags(before, count);
    const std::vector<char> newRows = selectedRowFlags(this->selection(), count);
    const QItemSelection selected = runs(*m, newRows, oldRows);
    const QItemSelection deselected = runs(*m, oldRows, newRows);
    if (!selected.isEmpty() || !deselected.isEmpty())
        emit selectionChanged(selected, deselected);
}

} // namespace morvane
