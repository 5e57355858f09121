// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTableWidget>

namespace morvane {

// The information grid `StringGrid1`: text cells addressed (column, row) as the grid counts
// them, where row 0 is the fixed header row (shown in the table's header, so it stays in view
// while the other rows scroll) and rows 1.. are the ordinary rows. Use the methods below rather
// than QTableWidget's row API, whose rows start after the fixed row. Design: 2 columns 150 wide,
// rows 16 high, 5 rows, grid lines, columns resizable by the user, range selection, flat border,
// no fixed column, not editable. UI thread only.
class StringGrid : public QTableWidget
{
public:
    explicit StringGrid(QWidget *parent = nullptr);

    // Number of rows including the fixed row (at least 1).
    [[nodiscard]] int gridRowCount() const;
    // Sets the number of rows including the fixed row (values below 1 count as 1); rows past the
    // new count are removed, new rows are empty.
    void setGridRowCount(int rows);

    // The text of a cell; empty outside the grid.
    [[nodiscard]] QString cell(int column, int row) const;
    // Sets the text of a cell; ignored outside the grid.
    void setCell(int column, int row, const QString &text);

    [[nodiscard]] int colWidth(int column) const { return columnWidth(column); }
    void setColWidth(int column, int width) { setColumnWidth(column, width); }
};

} // namespace morvane
