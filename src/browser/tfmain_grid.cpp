// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/tfmain_grid.h"

#include <QHeaderView>

namespace morvane {

namespace {
    constexpr int kColumns = 2;
    constexpr int kDesignRows = 5;
    constexpr int kColumnWidth = 150;
    constexpr int kRowHeight = 16;
} // namespace

StringGrid::StringGrid(QWidget *parent)
    : QTableWidget(kDesignRows - 1, kColumns, parent)
{
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView *top = horizontalHeader();
    top->setMinimumSectionSize(8);
    top->setDefaultSectionSize(kColumnWidth);
    top->setSectionResizeMode(QHeaderView::Interactive);
    top->setStretchLastSection(false);
    top->setHighlightSections(false);
    top->setSectionsClickable(false);
    top->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    top->setFixedHeight(kRowHeight + 1);
    for (int c = 0; c < kColumns; ++c) {
        setHorizontalHeaderItem(c, new QTableWidgetItem());
        setColumnWidth(c, kColumnWidth);
    }
    setShowGrid(true);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

int StringGrid::gridRowCount() const
{
    return rowCount() + 1;
}

void StringGrid::setGridRowCount(int rows)
{
    setRowCount(rows < 1 ? 0 : rows - 1);
}

QString StringGrid::cell(int column, int row) const
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= gridRowCount())
        return {};
    const QTableWidgetItem *i = row == 0 ? horizontalHeaderItem(column) : item(row - 1, column);
    return i != nullptr ? i->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= gridRowCount())
        return;
    if (row == 0) {
        horizontalHeaderItem(column)->setText(text);
        return;
    }
    QTableWidgetItem *i = item(row - 1, column);
    if (i == nullptr) {
        i = new QTableWidgetItem(text);
        setItem(row - 1, column, i);
    } else {
        i->setText(text);
    }
}

} // namespace morvane
