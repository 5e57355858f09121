// SPDX-License-Identifier: GPL-3.0-or-later
// The selection handling of the main window: the selected names, the status panels, the file
// facts and Exif rows of the information grid, and the commands that select by kind.
#include "browser/census.h"
#include "browser/exifbytes.h"
#include "browser/filelistmodel.h"
#include "browser/listselectionmodel.h"
#include "browser/selectionpanel.h"
#include "browser/tfmain.h"
#include "browser/tfmain_grid.h"
#include "browser/tfmain_waitcursor.h"
#include "exif/exifrows.h"
#include "frame/errorreport.h"
#include "frame/usererror.h"
#include "platform/folderscan.h"

#include <QItemSelectionModel>
#include <QListView>

#include <algorithm>
#include <vector>

namespace morvane {

namespace {

    constexpr int kFileRows = 6; // header, four file facts, one empty row

} // namespace

void TfMain::connectSelection()
{
    QItemSelectionModel *viewsOwn = ListView1->selectionModel();
    ListView1->setSelectionModel(new ListSelectionModel(m_list, ListView1));
    delete viewsOwn; // the view does not delete a selection model it is given or replaced
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        reportErrors([&] {
            ListView1SelectItem();
        });
    });
    // Emptying the list for a rebuild drops the selection without a selection change; the
    // handling runs all the same, so that the names the file commands act on are never names
    // the user no longer sees selected (of another folder, perhaps, holding files of the same
    // names).
    connect(m_list, &QAbstractItemModel::modelReset, this, [this] {
        if (SelectedNames.isEmpty())
            return; // nothing was selected: the panels keep what they show
        reportErrors([&] {
            ListView1SelectItem();
        });
    });
}

void TfMain::ListView1SelectItem()
{
    SelectedNames.clear();
    const int count = m_list->count();
    const std::vector<char> selected =
        selectedRowFlags(ListView1->selectionModel()->selection(), count);

    int first = -1;
    int last = -1;
    std::int64_t selectedCount = 0;
    std::int64_t bytes = 0;
    for (int row = 0; row < count; ++row) {
        if (selected[static_cast<std::size_t>(row)] == 0)
            continue;
        if (first < 0)
            first = row;
        last = row;
        ++selectedCount;
        const ListEntry &e = m_list->entry(row);
        SelectedNames.append(e.nativeName);
        bytes += browser::recordedSize(e.record.value(SizeField).toStdString());
    }
    setPanelText(
        0, QString::fromStdString(browser::positionText(CensusText.toStdString(), first + 1)));
    setPanelText(1, QString::fromStdString(browser::selectionText(selectedCount, bytes)));
    if (selectedCount != 1)
        return; // the third panel and the grid keep what they show

    SelectedIndex = last;
    const ListEntry &e = m_list->entry(last);
    const QStringList &record = e.record;
    const bool picture = e.isPicture();
    QString exifError;
    QString sizeText;
    if (picture) {
        const QByteArray native = platform::joinNative(FolderNative, e.nativeName);
        if (browser::isRegularFile(native)) {
            exifError = ExifList(filePathOf(e.caption), native);
        } else {
            // The file has gone: no Exif walk, and no rows of the file shown before under this
            // file's name.
            StringGrid1->setGridRowCount(kFileRows);
        }
        sizeText = QString::fromStdString(browser::pictureSizeText(
            record.value(WidthField).toStdString(), record.value(HeightField).toStdString()));
    } else {
        sizeText = QString::fromStdString(std::string(browser::kNoPictureSizeText));
    }
    setPanelText(2, sizeText);

    StringGrid1->setCell(0, 0, QStringLiteral("項目"));
    StringGrid1->setCell(1, 0, QStringLiteral("情報"));
    StringGrid1->setCell(0, 1, QStringLiteral("ファイル名："));
    StringGrid1->setCell(1, 1, e.caption);
    StringGrid1->setCell(0, 2, QStringLiteral("容量："));
    StringGrid1->setCell(1, 2, record.value(SizeField) + QStringLiteral(" Byte"));
    StringGrid1->setCell(0, 3, QStringLiteral("更新日時："));
    StringGrid1->setCell(1, 3, record.value(DateTimeField));
    StringGrid1->setCell(0, 4, QStringLiteral("サイズ："));
    StringGrid1->setCell(1, 4, sizeText);
    StringGrid1->setColWidth(0, 100);
    if (!picture)
        StringGrid1->setGridRowCount(kFileRows);

    // Reported once the file's facts stand beside the Exif rows met before the failure, so the
    // grid never shows the earlier file's name above this file's rows.
    if (!exifError.isEmpty())
        throw UserError(exifError);
}

QString TfMain::ExifList(const QString &path, const QByteArray &nativePath)
{
    const WaitCursor wait;
    StringGrid1->setGridRowCount(kFileRows);

    exif::ExifResult result;
    {
        browser::ExifBytes file(nativePath);
        switch (file.status()) {
        case browser::ExifBytes::Status::Ok:
            result = exif::summaryRows(file);
            break;
        case browser::ExifBytes::Status::NotARegularFile:
            // Gone or replaced since it was looked at: there is no picture to read.
            return {};
        case browser::ExifBytes::Status::OpenFailed:
            result.error = exif::makeError(exif::ExifErrorKind::OpenFailed, path.toStdString());
            break;
        }
    }

    const int firstRow = StringGrid1->gridRowCount();
    StringGrid1->setGridRowCount(firstRow + static_cast<int>(result.rows.size()));
    int row = firstRow;
    for (const exif::ExifRow &r : result.rows) {
        StringGrid1->setCell(0, row, QString::fromStdString(r.label));
        StringGrid1->setCell(1, row, QString::fromStdString(r.value));
        ++row;
    }
    return result.error ? QString::fromStdString(result.error->message) : QString();
}

int TfMain::firstSelectedRow() const
{
    int first = -1;
    for (const QItemSelectionRange &r : ListView1->selectionModel()->selection()) {
        if (!r.isValid() || r.parent().isValid() || r.top() >= m_list->count())
            continue;
        const int top = std::max(r.top(), 0);
        if (first < 0 || top < first)
            first = top;
    }
    return first;
}

void TfMain::selectOnly(const std::function<bool(const ListEntry &)> &pick)
{
    // One selection handed over in one call: the selection changes once, and the handling runs
    // once, however many items there are.
    QItemSelection selection;
    const int count = m_list->count();
    int runStart = -1;
    for (int row = 0; row <= count; ++row) {
        const bool picked = row < count && pick(m_list->entry(row));
        if (picked && runStart < 0)
            runStart = row;
        if (!picked && runStart >= 0) {
            selection.select(m_list->index(runStart), m_list->index(row - 1));
            runStart = -1;
        }
    }
    ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    ListView1->setFocus();
}

bool TfMain::selectFile(const QByteArray &nativeName)
{
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->entry(row).nativeName != nativeName)
            continue;
        const QModelIndex item = m_list->index(row);
        ListView1->selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
        ListView1->scrollTo(item);
        return true;
    }
    return false;
}

void TfMain::RemoveSelectedItems()
{
    // Each removal deselects its item and the selection handling then rebuilds SelectedNames, so
    // the names are taken from a copy made before the first removal.
    const QList<QByteArray> names = SelectedNames;
    for (const QByteArray &name : names) {
        const int row = m_list->findNative(name);
        if (row < 0)
            break;
        m_list->removeEntry(row);
        viewerFollowsRemoval(name);
    }
    ListView1SelectItem();
}

void TfMain::actAllExecute()
{
    selectOnly([](const ListEntry &e) {
        return e.isPicture();
    });
}

void TfMain::N22Click()
{
    selectOnly([](const ListEntry &) {
        return true;
    });
}

void TfMain::N23Click()
{
    selectOnly([](const ListEntry &e) {
        return e.isOtherFile();
    });
}

} // namespace morvane
