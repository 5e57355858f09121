// SPDX-License-Identifier: GPL-3.0-or-later
// The list's sort orders on a folder made for them, kept across a restart.
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "tfmain_testing.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

using namespace morvane;
using namespace morvane::test;

namespace {

// A camera JPEG taken at `taken` ("YYYY:MM:DD HH:MM:SS").
QByteArray takenJpeg(const char *taken)
{
    testsupport::TiffBuilder b(testsupport::ByteOrder::Little);
    const std::size_t sub = b.addIfd();
    b.pointer(0, exif::tag::ExifPointer, sub);
    b.ascii(sub, exif::tag::DateTimeOriginal, taken);
    return cameraJpeg(8, 8, b.build().bytes);
}

} // namespace

class TestTfMainSort : public DeskTest
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(makeDesk()); }
    void cleanup() { clearDesk(); }
    void ordersAndRestart_data();
    void ordersAndRestart();
    void unknownStoredOrderIsByName();

private:
    QByteArray makeFolderForOrders();
};

QByteArray TestTfMainSort::makeFolderForOrders()
{
    // Sizes 1 < 3 < plain JPEG < the two camera JPEGs (equal); "2.dat" and "10.txt" written at
    // the same second; two files dated by Exif, in the other order than by modification.
    const QByteArray f = inFolder(m_desk, "orders");
    struct File
    {
        const char *name;
        QByteArray bytes;
        int second;
    };
    const File files[] = {
        {"10.txt", "abc", 10},
        {"2.dat", "a", 10},
        {"100.jpg", takenJpeg("2003:01:01 00:00:00"), 20},
        {"9.jpg", takenJpeg("2004:05:12 10:00:00"), 30},
        {"1.jpg", plainJpeg(8, 8), 40},
    };
    if (!makeFolder(f))
        return {};
    for (const File &file : files) {
        const QByteArray path = inFolder(f, file.name);
        if (!writeFile(path, file.bytes) || !setModified(path, 2004, 5, 12, 9, 0, file.second))
            return {};
    }
    return f;
}

void TestTfMainSort::ordersAndRestart_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("name") << 0 << false
                          << QStringList {"1.jpg", "10.txt", "100.jpg", "2.dat", "9.jpg"};
    QTest::newRow("name, descending")
        << 0 << true << QStringList {"9.jpg", "2.dat", "100.jpg", "10.txt", "1.jpg"};
    QTest::newRow("natural") << 1 << false
                             << QStringList {"1.jpg", "2.dat", "9.jpg", "10.txt", "100.jpg"};
    QTest::newRow("natural, descending")
        << 1 << true << QStringList {"100.jpg", "10.txt", "9.jpg", "2.dat", "1.jpg"};
    QTest::newRow("modified: a tie by name")
        << 2 << false << QStringList {"10.txt", "2.dat", "100.jpg", "9.jpg", "1.jpg"};
    QTest::newRow("taken: the undated after, by modification")
        << 3 << false << QStringList {"100.jpg", "9.jpg", "10.txt", "2.dat", "1.jpg"};
    QTest::newRow("taken, descending")
        << 3 << true << QStringList {"9.jpg", "100.jpg", "1.jpg", "10.txt", "2.dat"};
    QTest::newRow("size: equal camera files by name")
        << 4 << false << QStringList {"2.dat", "10.txt", "1.jpg", "100.jpg", "9.jpg"};
    QTest::newRow("type") << 5 << false
                          << QStringList {"2.dat", "1.jpg", "100.jpg", "9.jpg", "10.txt"};
}

void TestTfMainSort::ordersAndRestart()
{
    QFETCH(int, key);
    QFETCH(bool, descending);
    QFETCH(QStringList, order);
    const QByteArray folder = makeFolderForOrders();
    QVERIFY(!folder.isEmpty());
    {
        auto w = openOn(folder);
        QVERIFY(w != nullptr);
        const QString selected = QStringLiteral("9.jpg");
        w->ListView1->setCurrentIndex(w->listModel()->index(w->listModel()->findCaption(selected)));
        QSignalSpy built(w.get(), &TfMain::listBuilt);
        QSignalSpy inserted(w->listModel(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(w->listModel(), &QAbstractItemModel::modelReset);
        w->SortKeyItems[static_cast<std::size_t>(key)]->trigger();
        (descending ? w->SortDescending : w->SortAscending)->trigger();
        QCOMPARE(captions(*w->listModel()), order);
        // Sorted in place: nothing listed or decoded again, the selection on its file.
        QCOMPARE(built.count() + inserted.count() + reset.count(), 0);
        QCOMPARE(w->SelectedNames, QList<QByteArray> {"9.jpg"});
        QCOMPARE(w->listModel()->entry(w->ListView1->currentIndex().row()).caption, selected);
        QCOMPARE(w->SelectedIndex, order.indexOf(selected));
        w->close();
    }
    auto again = openOn(folder);
    QVERIFY(again != nullptr);
    QVERIFY(again->SortKeyItems[static_cast<std::size_t>(key)]->isChecked());
    QCOMPARE(again->SortDescending->isChecked(), descending);
    QCOMPARE(captions(*again->listModel()), order);
    // A rebuild keeps the order.
    again->actRenew->trigger();
    QCOMPARE(captions(*again->listModel()), order);
}

void TestTfMainSort::unknownStoredOrderIsByName()
{
    const QByteArray folder = makeFolderForOrders();
    QVERIFY(writeFile(QFile::encodeName(m_settings), "[Option]\r\nSortKey=9\r\n"));
    auto w = openOn(folder, false);
    QVERIFY(w != nullptr);
    QVERIFY(w->SortKeyItems[0]->isChecked());
    QVERIFY(w->SortAscending->isChecked());
    QCOMPARE(
        captions(*w->listModel()), (QStringList {"1.jpg", "10.txt", "100.jpg", "2.dat", "9.jpg"}));
}

int runSortTests(int argc, char **argv)
{
    TestTfMainSort t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_tfmain_sort.moc"
