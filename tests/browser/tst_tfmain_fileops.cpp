// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's file operations on a folder of real files: the removal of the selected items,
// delete, in-place rename, the drags onto the tree and from outside, shift-click and the drag
// cursors. Questions are answered by a FakePrompter; the trash is the test's own
// (XDG_DATA_HOME points into the temporary folder).
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "platform/foldertree.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"
#include "tfmain_testing.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace morvane;
using namespace morvane::test;

namespace {

// Captions in code-point order: "B.txt" and "b.txt" are equal to the list's order, so which comes
// first depends on the folder's enumeration.
QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestTfMainFileOps : public test::DeskTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void removeSelectedItems_data();
    void removeSelectedItems();

private:
    // Selects exactly the rows `rows` of the list.
    static void selectRows(TfMain &w, const QList<int> &rows);

    QByteArray m_photos; // a.txt, B.txt, b.txt, c.jpg, d.txt
};

void TestTfMainFileOps::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMainFileOps::init()
{
    QVERIFY(makeDesk());
    m_photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(m_photos));
    for (const char *name : {"a.txt", "B.txt", "b.txt", "d.txt"})
        QVERIFY(writeDated(inFolder(m_photos, name), name));
    QVERIFY(writeDated(inFolder(m_photos, "c.jpg"), plainJpeg(32, 24)));
}

void TestTfMainFileOps::cleanup()
{
    clearDesk();
}

void TestTfMainFileOps::selectRows(TfMain &w, const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(w.listModel()->index(row), w.listModel()->index(row));
    w.ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TestTfMainFileOps::removeSelectedItems_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("three of five, exactly those, not the other case")
        << QStringList {"a.txt", "b.txt", "d.txt"} << QStringList {"B.txt", "c.jpg"};
    QTest::newRow("one file whose name differs from another in case only")
        << QStringList {"B.txt"} << QStringList {"a.txt", "b.txt", "c.jpg", "d.txt"};
}

void TestTfMainFileOps::removeSelectedItems()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, left);
    const auto w = openOn(m_photos, false);
    QVERIFY(w);
    QList<int> rows;
    for (const QString &name : selected)
        rows << w->listModel()->findCaption(name);
    selectRows(*w, rows);
    QCOMPARE(w->SelectedNames, nativeNames(selected));
    w->RemoveSelectedItems();
    QCOMPARE(sorted(captions(*w->listModel())), sorted(left));
    QVERIFY(w->SelectedNames.isEmpty());
}

QTEST_MAIN(TestTfMainFileOps)
#include "tst_tfmain_fileops.moc"
