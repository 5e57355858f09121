// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the selection handling on a list of 20000 items (no files behind them): one
// change of a scattered selection, the select-by-kind commands, and clearing. Not a test: run
//   QT_QPA_PLATFORM=offscreen build/bin/browser_selection_bench
// and read the time per iteration.
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace morvane;

namespace {

constexpr int kItems = 20000;

} // namespace

class BenchSelection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void toggleOneItemInAScatteredSelection();
    void selectPicturesOnly();
    void clickOneItemAfterPicturesOnly();
    void selectAll();
    void clearSelection();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TfMain> m_main;
};

void BenchSelection::initTestCase()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString desk = m_dir->filePath(QStringLiteral("desk"));
    QVERIFY(QDir().mkpath(desk));
    m_main = std::make_unique<TfMain>(m_dir->filePath(QStringLiteral("morvane.ini")), desk);
    // Pictures and other files taking turns, in caption order, so every other item is a run.
    for (int i = 0; i < kItems; ++i) {
        ListEntry e;
        e.caption = QStringLiteral("%1.%2").arg(100000 + i).arg(i % 2 == 0 ? "jpg" : "txt");
        e.nativeName = e.caption.toUtf8();
        e.record = QStringList {i % 2 == 0 ? QStringLiteral("0") : QStringLiteral("1"),
            QString::number(1000 + i),
            QStringLiteral("2004/05/12 9:05:30"),
            i % 2 == 0 ? QStringLiteral("640") : QString(),
            i % 2 == 0 ? QStringLiteral("480") : QString()};
        m_main->addListEntry(std::move(e));
    }
    QCOMPARE(m_main->listModel()->count(), kItems);
    // Shown, so the view's own repainting of what changed is measured too.
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void BenchSelection::cleanupTestCase()
{
    m_main.reset();
    m_dir.reset();
}

void BenchSelection::toggleOneItemInAScatteredSelection()
{
    // Ctrl+click on one item while every other item is selected: 10000 ranges.
    m_main->actAll->trigger();
    QCOMPARE(m_main->SelectedNames.size(), kItems / 2);
    QItemSelectionModel *s = m_main->ListView1->selectionModel();
    const QModelIndex index = m_main->listModel()->index(kItems / 2 + 1);
    QBENCHMARK
    {
        s->select(index, QItemSelectionModel::Toggle);
    }
}

void BenchSelection::selectPicturesOnly()
{
    QBENCHMARK
    {
        m_main->N22->trigger();
        m_main->actAll->trigger();
    }
    QCOMPARE(m_main->SelectedNames.size(), kItems / 2);
}

void BenchSelection::clickOneItemAfterPicturesOnly()
{
    QItemSelectionModel *s = m_main->ListView1->selectionModel();
    const QModelIndex index = m_main->listModel()->index(7);
    QBENCHMARK
    {
        m_main->actAll->trigger();
        s->select(index, QItemSelectionModel::ClearAndSelect);
    }
    QCOMPARE(m_main->SelectedNames.size(), 1);
}

void BenchSelection::selectAll()
{
    QBENCHMARK
    {
        m_main->ListView1->clearSelection();
        m_main->N22->trigger();
    }
    QCOMPARE(m_main->SelectedNames.size(), kItems);
}

void BenchSelection::clearSelection()
{
    QBENCHMARK
    {
        m_main->N22->trigger();
        m_main->ListView1->clearSelection();
    }
    QCOMPARE(m_main->SelectedNames.size(), 0);
}

QTEST_MAIN(BenchSelection)
#include "bench_selection.moc"
