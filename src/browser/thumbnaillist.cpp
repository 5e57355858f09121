// SPDX-License-Identifier: GPL-3.0-or-later
// The list build: fills the file list with the list builder's boxes, one per file, then writes
// the census.
#include "browser/census.h"
#include "browser/filelistmodel.h"
#include "browser/listbuilder.h"
#include "browser/tfmain.h"
#include "browser/tfmain_delegate.h"
#include "browser/tfmain_live.h"
#include "browser/tfmain_waitcursor.h"
#include "browser/thumbfit.h"
#include "frame/usererror.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QListView>

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
    // Boxes are built in device pixels and drawn in the logical box (crisp at a scale of 2).
    m_listPixelRatio = ListView1->devicePixelRatioF();
    if (BoxSize > 0) {
        m_list->setBoxPixelRatio(
            static_cast<qreal>(browser::deviceBoxSize(BoxSize, m_listPixelRatio)) / BoxSize);
    }
}

int TfMain::addListEntry(ListEntry entry)
{
    return m_list->insertSorted(std::move(entry));
}

void TfMain::ThumbnailList()
{
    // A rebuild asked for while items are being added (from a handler the list's signals run)
    // must not empty the list under the running build.
    if (m_builder->isBuilding() || m_fill->settingUp)
        throw UserError(QStringLiteral("ファイル一覧の作成中は、次の作成を始められません。"));
    cancelFill();
    m_list->clear();
    for (QAction *a : SizeItems) {
        if (a->isChecked())
            BoxSize = a->data().toInt();
    }
    applyBoxSize();
    for (QAction *a : QualityItems) {
        if (a->isChecked())
            JpegScale = a->data().toInt();
    }
    if (m_liveBuild) {
        startLiveBuild();
        return;
    }

    browser::ListBuildResult result;
    {
        const WaitCursor wait;
        const bool repaintEach = UpDate1->isChecked();
        const Freeze freeze(ListView1, !repaintEach);
        browser::ListBuildOptions options;
        options.boxSize = BoxSize;
        options.devicePixelRatio = m_listPixelRatio;
        options.jpegScale = JpegScale;
        options.autoRotate = fOp == nullptr || fOp->autoRotate();
        options.cache = m_cache.get();
        options.readCache = !m_refreshing;
        QElapsedTimer sinceRepaint;
        result = m_builder->build(FolderNative, options, [&](ListEntry &&entry) {
            addListEntry(std::move(entry));
            if (repaintEach
                && (!sinceRepaint.isValid() || sinceRepaint.elapsed() >= kRepaintIntervalMs)) {
                ListView1->doItemsLayout();
                ListView1->viewport()->repaint();
                sinceRepaint.start();
            }
        });
    }
    // A build that ended early keeps the items it listed and the census of the previous build;
    // the normal cursor is back and the list unfrozen before the error report shows.
    if (!result.completed)
        throw UserError(result.failure);

    CensusText = QString::fromStdString(browser::censusText(m_list->count(), result.bytes));
    setPanelText(0, QString::fromStdString(browser::positionText(CensusText.toStdString(), 0)));
    emit listBuilt();
}

} // namespace morvane
