// SPDX-License-Identifier: GPL-3.0-or-later
// The list build: enumerates the current folder and fills the file list, one box per file, then
// writes the census.
#include "browser/census.h"
#include "browser/datetimetext.h"
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "browser/tfmain_delegate.h"
#include "browser/tfmain_waitcursor.h"
#include "platform/folderscan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QIcon>
#include <QListView>
#include <QPainter>
#include <QStyle>

#include <cstdint>

namespace morvane {

namespace {

    // With "UpDate" checked the list is repainted as items arrive, at most once per display frame:
    // every repaint lays out the whole list again, so a repaint per file would make a folder of n
    // files cost n² and thousands of small files take seconds, while a person sees no difference
    // at 60 repaints a second. The last items are painted when the build returns to the event loop.
    constexpr qint64 kRepaintIntervalMs = 16;

    // Keeps the list frozen while it lives (when asked to), so an early exit unfreezes it too.
    class Freeze
    {
    public:
        Freeze(QWidget *widget, bool freeze)
            : m_widget(freeze ? widget : nullptr)
        {
            if (m_widget != nullptr)
                m_widget->setUpdatesEnabled(false);
        }
        ~Freeze()
        {
            if (m_widget != nullptr)
                m_widget->setUpdatesEnabled(true);
        }
        Freeze(const Freeze &) = delete;
        Freeze &operator=(const Freeze &) = delete;

    private:
        QWidget *m_widget;
    };

} // namespace

void TfMain::applyBoxSize()
{
    ListView1->setIconSize(QSize(BoxSize, BoxSize));
    // Room for the box and two lines of caption under it; the item fills its grid cell but for
    // a small gap, so captions use the whole width before they wrap or are cut.
    const int line = QFontMetrics(ListView1->font()).height();
    const QSize cell(qMax(BoxSize + 28, 76), BoxSize + 2 * line + 10);
    m_delegate->setItemSize(cell - QSize(4, 4));
    ListView1->setGridSize(cell);
}

QImage TfMain::otherFileBox() const
{
    QImage box(BoxSize, BoxSize, QImage::Format_RGB32);
    box.fill(Qt::white);
    const QIcon icon = QIcon::fromTheme(
        QStringLiteral("text-x-generic"), qApp->style()->standardIcon(QStyle::SP_FileIcon));
    const QPixmap pixmap = icon.pixmap(QSize(32, 32), 1.0);
    QPainter p(&box);
    const int at = BoxSize / 2 - 16;
    p.drawPixmap(QRect(at, at, 32, 32), pixmap);
    return box;
}

int TfMain::addListEntry(ListEntry entry)
{
    m_lastAdded = m_list->insertSorted(std::move(entry));
    return m_lastAdded;
}

void TfMain::ThumbnailList()
{
    m_list->clear();
    m_lastAdded = -1;
    for (QAction *a : SizeItems) {
        if (a->isChecked())
            BoxSize = a->data().toInt();
    }
    applyBoxSize();
    for (QAction *a : QualityItems) {
        if (a->isChecked())
            JpegScale = a->data().toInt();
    }

    const WaitCursor wait;
    std::int64_t bytes = 0;
    const bool repaintEach = UpDate1->isChecked();
    const Freeze freeze(ListView1, !repaintEach);

    // Every file gets the same white box with the generic icon; QImage shares it between items.
    const QImage box = otherFileBox();
    const std::vector<platform::FolderEntry> entries = platform::scanFolder(m_folderNative);
    QElapsedTimer sinceRepaint;
    for (const platform::FolderEntry &e : entries) {
        ListEntry item;
        item.caption = e.name;
        item.nativeName = e.nativeName;
        item.image = box;
        item.record = QStringList {QStringLiteral("1"),
            QString::number(e.size),
            QString::fromStdString(
                browser::dateTimeText(e.year, e.month, e.day, e.hour, e.minute, e.second)),
            QString(),
            QString()};
        addListEntry(std::move(item));
        bytes += e.size;
        if (repaintEach
            && (!sinceRepaint.isValid() || sinceRepaint.elapsed() >= kRepaintIntervalMs)) {
            ListView1->doItemsLayout();
            ListView1->viewport()->repaint();
            sinceRepaint.start();
        }
    }

    CensusText = QString::fromStdString(browser::censusText(m_list->count(), bytes));
    setPanelText(0, QString::fromStdString(browser::positionText(CensusText.toStdString(), 0)));
    emit listBuilt();
}

} // namespace morvane
