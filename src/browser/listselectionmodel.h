// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QItemSelectionModel>

#include <vector>

namespace morvane {

// The selection model of the file list. It selects exactly as QItemSelectionModel does and
// reports the same changes; only a selection replaced by another (Clear with Select) in the
// list's flat, one-column model has its difference found row by row, in time linear in the list.
// Qt compares every old range with every new one and splits them one at a time, which costs
// seconds when both sides hold thousands of ranges (pictures only, in a folder where pictures
// and other files alternate). UI thread only.
// One flag per row of a flat list of `count` rows, set where `selection` holds the row. The cost
// is the count plus the size of the ranges, however scattered the selected rows are (asking the
// selection model row by row would search its ranges once per row).
[[nodiscard]] std::vector<char> selectedRowFlags(const QItemSelection &selection, int count);

class ListSelectionModel : public QItemSelectionModel
{
    Q_OBJECT

public:
    using QItemSelectionModel::QItemSelectionModel;
    using QItemSelectionModel::select;

    void select(
        const QItemSelection &selection, QItemSelectionModel::SelectionFlags command) override;
};

} // namespace morvane
