// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/filelistmodel.h"
#include "browser/typeboxes.h"
#include "platform/fileicons.h"
#include "tfmain_testing.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace morvane;
using morvane::test::captions;

namespace {

ListEntry entryNamed(const QString &caption)
{
    ListEntry e;
    e.caption = caption;
    e.nativeName = caption.toUtf8();
    e.record =
        QStringList {QStringLiteral("1"), QStringLiteral("7"), QString(), QString(), QString()};
    return e;
}

// The list's order for these captions, worked out by hand: case is ignored (a tie keeps the
// capital first), "." sorts before digits, digits compare one by one (numeric mode off), "_"
// sorts before letters and the kanji after every Latin letter.
const QStringList kOrdered {QStringLiteral("_x.txt"),
    QStringLiteral("A.txt"),
    QStringLiteral("a.txt"),
    QStringLiteral("b.txt"),
    QStringLiteral("B2.txt"),
    QStringLiteral("c10.txt"),
    QStringLiteral("c2.txt"),
    QStringLiteral("写真.jpg")};

} // namespace

class TestFileListModel : public QObject
{
    Q_OBJECT

private slots:
    void insertionKeepsOrderAtEveryStep_data();
    void insertionKeepsOrderAtEveryStep();
    void rolesCarryTheEntry();
    void setCaptionMovesToSortedRow_data();
    void setCaptionMovesToSortedRow();
    void removeEntry_data();
    void removeEntry();
    void findCaptionIsExact_data();
    void findCaptionIsExact();
    void largeBoxesLeaveMemory_data();
    void largeBoxesLeaveMemory();
};

void TestFileListModel::insertionKeepsOrderAtEveryStep_data()
{
    QTest::addColumn<QList<int>>("order"); // indexes into kOrdered, in insertion order
    QTest::newRow("already sorted") << QList<int> {0, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("reversed") << QList<int> {7, 6, 5, 4, 3, 2, 1, 0};
    QTest::newRow("interleaved") << QList<int> {3, 7, 0, 5, 1, 6, 2, 4};
    QTest::newRow("small letter before capital") << QList<int> {2, 1, 4, 3, 6, 5, 0, 7};
    QTest::newRow("middle outwards") << QList<int> {4, 3, 5, 2, 6, 1, 7, 0};
}

void TestFileListModel::insertionKeepsOrderAtEveryStep()
{
    QFETCH(QList<int>, order);
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QList<int> done;
    for (int i : order) {
        const int row = model.insertSorted(entryNamed(kOrdered[i]));
        done << i;
        std::sort(done.begin(), done.end());
        QStringList expected;
        for (int d : done)
            expected << kOrdered[d];
        QCOMPARE(captions(model), expected);
        QCOMPARE(row, static_cast<int>(done.indexOf(i)));
        // The view hears of exactly that one row.
        QCOMPARE(inserted.last().at(1).toInt(), row);
        QCOMPARE(inserted.last().at(2).toInt(), row);
    }
}

void TestFileListModel::rolesCarryTheEntry()
{
    FileListModel model;
    ListEntry e;
    e.caption = QStringLiteral("caf\uFFFD.txt");
    e.nativeName = QByteArray("caf\xe9.txt");
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    e.thumb = ThumbForm::fromBox(red);
    e.record = QStringList {QStringLiteral("0"),
        QStringLiteral("12"),
        QStringLiteral("2004/05/12"),
        QStringLiteral("640"),
        QStringLiteral("480")};
    model.insertSorted(e);
    const QModelIndex i = model.index(0);
    QCOMPARE(i.data(Qt::DisplayRole).toString(), e.caption);
    QCOMPARE(i.data(FileListModel::NativeNameRole).toByteArray(), e.nativeName);
    QCOMPARE(i.data(FileListModel::RecordRole).toStringList(), e.record);
    QCOMPARE(i.data(FileListModel::KindRole).toString(), QStringLiteral("0"));
    QCOMPARE(i.data(Qt::DecorationRole).value<QImage>().pixelColor(1, 1), QColor(Qt::red));
    QVERIFY(!model.index(1).isValid());
    // Captions are edited in place, but only the window changes one, after renaming the file.
    QVERIFY(model.flags(i) & Qt::ItemIsEditable);
    QVERIFY(!model.setData(i, QStringLiteral("other.jpg"), Qt::EditRole));
    QCOMPARE(i.data(Qt::DisplayRole).toString(), e.caption);
}

void TestFileListModel::setCaptionMovesToSortedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("newRow");
    QTest::addColumn<QStringList>("after");
    // The list starts as a, c, e, g.
    QTest::newRow("to the end") << 1 << QStringLiteral("h") << 3
                                << QStringList {"a", "e", "g", "h"};
    QTest::newRow("to the front") << 3 << QStringLiteral("0") << 0
                                  << QStringList {"0", "a", "c", "e"};
    QTest::newRow("one step down")
        << 1 << QStringLiteral("f") << 2 << QStringList {"a", "e", "f", "g"};
    QTest::newRow("stays in place")
        << 2 << QStringLiteral("d") << 2 << QStringList {"a", "c", "d", "g"};
    QTest::newRow("same caption") << 0 << QStringLiteral("a") << 0
                                  << QStringList {"a", "c", "e", "g"};
    QTest::newRow("beside an equal caption")
        << 3 << QStringLiteral("C") << 1 << QStringList {"a", "C", "c", "e"};
    QTest::newRow("row out of range")
        << 4 << QStringLiteral("z") << -1 << QStringList {"a", "c", "e", "g"};
    QTest::newRow("negative row") << -1 << QStringLiteral("z") << -1
                                  << QStringList {"a", "c", "e", "g"};
}

void TestFileListModel::setCaptionMovesToSortedRow()
{
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(int, newRow);
    QFETCH(QStringList, after);
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *c : {"g", "a", "e", "c"})
        model.insertSorted(entryNamed(QString::fromLatin1(c)));
    const QPersistentModelIndex followed = model.index(row);
    QCOMPARE(model.setCaption(row, caption, caption.toUtf8()), newRow);
    QCOMPARE(captions(model), after);
    if (newRow >= 0) {
        // Views and selections follow the item to its new row.
        QCOMPARE(followed.row(), newRow);
        QCOMPARE(model.entry(newRow).nativeName, caption.toUtf8());
        QCOMPARE(model.entry(newRow).record.at(1), QStringLiteral("7"));
    }
}

void TestFileListModel::removeEntry_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("first") << 0 << true << QStringList {"b", "c"};
    QTest::newRow("last") << 2 << true << QStringList {"a", "b"};
    QTest::newRow("past the end") << 3 << false << QStringList {"a", "b", "c"};
    QTest::newRow("negative") << -1 << false << QStringList {"a", "b", "c"};
}

void TestFileListModel::removeEntry()
{
    QFETCH(int, row);
    QFETCH(bool, removed);
    QFETCH(QStringList, after);
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *c : {"c", "a", "b"})
        model.insertSorted(entryNamed(QString::fromLatin1(c)));
    QCOMPARE(model.removeEntry(row), removed);
    QCOMPARE(captions(model), after);
    model.clear();
    QCOMPARE(model.count(), 0);
}

void TestFileListModel::findCaptionIsExact_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("row");
    QTest::newRow("capital of a tie") << QStringLiteral("A.txt") << 1;
    QTest::newRow("small of a tie") << QStringLiteral("a.txt") << 2;
    QTest::newRow("last") << QStringLiteral("写真.jpg") << 7;
    QTest::newRow("first") << QStringLiteral("_x.txt") << 0;
    QTest::newRow("case differs from every item") << QStringLiteral("C2.TXT") << -1;
    QTest::newRow("absent") << QStringLiteral("d.txt") << -1;
}

void TestFileListModel::findCaptionIsExact()
{
    QFETCH(QString, caption);
    QFETCH(int, row);
    FileListModel model;
    for (const QString &c : kOrdered)
        model.insertSorted(entryNamed(c));
    QCOMPARE(model.findCaption(caption), row);
}

int runFileListModelTests(int argc, char **argv)
{
    TestFileListModel t;
    return QTest::qExec(&t, argc, argv);
}

void TestFileListModel::largeBoxesLeaveMemory_data()
{
    QTest::addColumn<QString>("spill"); // "folder", "none", "file": a file where the folder goes
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("inMemory"); // bytes the item keeps in memory
    QTest::newRow("large, spilled") << "folder" << QSize(500, 375) << false;
    QTest::newRow("large, no spill folder: compressed") << "none" << QSize(500, 375) << true;
    QTest::newRow("large, spill folder unusable: compressed") << "file" << QSize(500, 375) << true;
    QTest::newRow("small, kept as decoded") << "folder" << QSize(40, 30) << true;
    // An other file's box is its type's, drawn when shown: writing it out per item would put
    // gigabytes on disk for a folder of thousands of other files.
    QTest::newRow("type box, drawn when shown") << "folder" << QSize(320, 320) << false;
}

void TestFileListModel::largeBoxesLeaveMemory()
{
    QFETCH(QString, spill);
    QFETCH(QSize, picture);
    QFETCH(bool, inMemory);
    // A noisy picture, so neither compression nor a stretch could hide a wrong pixel.
    QImage image(picture, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256));
    }
    const bool typeBox = picture == QSize(320, 320);
    const std::optional<ThumbForm> form = typeBox
        ? ThumbForm::fromType(
            std::make_shared<browser::TypeBoxes>(std::make_shared<platform::FileIcons>(), 320),
            QStringLiteral("notes.txt"))
        : ThumbForm::fromPicture(image, false, 320);
    QVERIFY(form.has_value());
    const QImage want = form->box();
    QCOMPARE(want.size(), QSize(320, 320));

    QTemporaryDir dir;
    FileListModel model;
    if (spill == u"folder")
        model.setSpillFolder(QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    else if (spill == u"file") {
        QVERIFY(
            test::writeFile(QFile::encodeName(dir.filePath(QStringLiteral("cache"))), "a file"));
        model.setSpillFolder(QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    }
    ListEntry e;
    e.caption = QStringLiteral("p.jpg");
    e.thumb = *form;
    model.insertSorted(e);
    const qsizetype held = model.entry(0).thumb.bytes();
    QCOMPARE(held > 0, inMemory);
    QVERIFY(held <= form->bytes());
    QCOMPARE(model.box(0), want);
    QCOMPARE(model.index(0).data(Qt::DecorationRole).value<QImage>(), want);
}

#include "tst_filelistmodel.moc"
