// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's selection handling on a folder of real files: the selected names, the three
// status panels, the file facts and Exif rows of the information grid, the select-by-kind
// commands, and the reading of a picture's bytes for the Exif walk.
#include "browser/exifbytes.h"
#include "browser/filelistmodel.h"
#include "browser/listselectionmodel.h"
#include "browser/tfmain.h"
#include "browser/tfmain_grid.h"
#include "exif/exifrows.h"
#include "platform/foldertree.h"
#include "support/tempfolder.h"
#include "tfmain_testing.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace morvane;
using namespace morvane::test;

namespace {

// `bytes` padded with zeros to exactly `size` bytes (after the end-of-image marker, where the
// decoder does not look), so the sizes in the panels can be worked out by hand.
QByteArray padded(QByteArray bytes, qsizetype size)
{
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

QStringList facts(const StringGrid &grid)
{
    QStringList out;
    for (int row = 0; row <= 4; ++row)
        out << grid.cell(0, row) << grid.cell(1, row);
    return out;
}

QStringList expectedFacts(const QString &name, const QString &size, const QString &sizeText)
{
    return {QStringLiteral("項目"),
        QStringLiteral("情報"),
        QStringLiteral("ファイル名："),
        name,
        QStringLiteral("容量："),
        size + QStringLiteral(" Byte"),
        QStringLiteral("更新日時："),
        kDate,
        QStringLiteral("サイズ："),
        sizeText};
}

} // namespace

class TestTfMainSelection : public test::DeskTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void singleSelection_data();
    void singleSelection();
    void deselectingEverythingKeepsTheGrid();
    void twoFilesKeepTheGridOfTheEarlierFile();
    void pictureGoneBehindTheProgramsBack_data();
    void pictureGoneBehindTheProgramsBack();
    void exifErrorIsReportedAfterTheRows();
    void exifRunsUnderTheWaitCursor();
    void rebuildEmptiesTheSelectedNames();
    void selectByKind_data();
    void selectByKind();
    void selectPicturesInAFolderWithoutPictures();
    void selectByKindChangesTheSelectionOnce();
    void listSelectionModelReportsWhatQtReports_data();
    void listSelectionModelReportsWhatQtReports();
    void exifBytes_data();
    void exifBytes();

private:
    QByteArray m_photos; // a.txt, b.jpg (camera), c.txt, d.jpg (no Exif), e.bin
};

void TestTfMainSelection::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMainSelection::init()
{
    QVERIFY(makeDesk());
    m_photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(m_photos));
    QVERIFY(writeDated(inFolder(m_photos, "a.txt"), "hello"));
    QVERIFY(writeDated(
        inFolder(m_photos, "b.jpg"), padded(cameraJpeg(64, 48, cameraTiff(64, 48)), 2500)));
    QVERIFY(writeDated(inFolder(m_photos, "c.txt"), QByteArray(1500, 'c')));
    QVERIFY(writeDated(inFolder(m_photos, "d.jpg"), padded(plainJpeg(32, 24), 1000)));
    QVERIFY(writeDated(inFolder(m_photos, "e.bin"), QByteArray(10, 'e')));
}

void TestTfMainSelection::cleanup()
{
    clearDesk();
}

void TestTfMainSelection::singleSelection_data()
{
    QTest::addColumn<int>("before"); // row selected first, to leave rows of its own in the grid
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("panel1");
    QTest::addColumn<QString>("panel2");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QList<QStringList>>("exif");
    QTest::newRow("third item, another file, after a picture with Exif")
        << 1 << 2 << QStringLiteral(" 選択  1 file ( 1.50 KByte )") << QStringLiteral(" 画像サイズ")
        << QStringLiteral("1500") << QList<QStringList> {};
    QTest::newRow("camera picture after a picture without Exif")
        << 3 << 1 << QStringLiteral(" 選択  1 file ( 2.50 KByte )")
        << QStringLiteral(" 64 x 48 Pixel") << QStringLiteral("2500") << cameraRows();
    QTest::newRow("picture without Exif after the camera picture")
        << 1 << 3 << QStringLiteral(" 選択  1 file ( 1000 Byte )")
        << QStringLiteral(" 32 x 24 Pixel") << QStringLiteral("1000")
        << QList<QStringList> {{QStringLiteral("Exif情報："), QStringLiteral("なし")}};
    QTest::newRow("first item, five bytes")
        << 4 << 0 << QStringLiteral(" 選択  1 file ( 5 Byte )") << QStringLiteral(" 画像サイズ")
        << QStringLiteral("5") << QList<QStringList> {};
}

void TestTfMainSelection::singleSelection()
{
    QFETCH(int, before);
    QFETCH(int, row);
    QFETCH(QString, panel1);
    QFETCH(QString, panel2);
    QFETCH(QString, size);
    QFETCH(QList<QStringList>, exif);
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    const FileListModel &m = *w->listModel();
    QCOMPARE(m.count(), 5);
    QCOMPARE(m.entry(1).caption, QStringLiteral("b.jpg"));
    QCOMPARE(m.entry(1).record.value(KindFlag), QStringLiteral("0"));
    QVERIFY(w->censusText().startsWith(QStringLiteral(" 全 5 file ( ")));

    clickItem(*w, before);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {m.entry(before).nativeName});
    clickItem(*w, row);
    const QString caption = m.entry(row).caption;
    QCOMPARE(w->SelectedNames, QList<QByteArray> {m.entry(row).nativeName});
    QCOMPARE(w->SelectedIndex, row);
    QCOMPARE(
        w->panelText(0), w->censusText() + QString::number(row + 1) + QStringLiteral(" file目"));
    QCOMPARE(w->panelText(1), panel1);
    QCOMPARE(w->panelText(2), panel2);
    QCOMPARE(facts(*w->StringGrid1), expectedFacts(caption, size, panel2));
    QCOMPARE(w->StringGrid1->colWidth(0), 100);
    QCOMPARE(w->StringGrid1->gridRowCount(), 6 + exif.size());
    QCOMPARE(w->StringGrid1->cell(0, 5), QString());
    QCOMPARE(w->StringGrid1->cell(1, 5), QString());
    QCOMPARE(gridRows(*w->StringGrid1, 6), exif);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainSelection::deselectingEverythingKeepsTheGrid()
{
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    clickItem(*w, 1);
    const QStringList factsBefore = facts(*w->StringGrid1);
    const QList<QStringList> rowsBefore = gridRows(*w->StringGrid1, 5);
    QCOMPARE(rowsBefore.size(), 1 + cameraRows().size());
    w->ListView1->clearSelection();
    QCOMPARE(w->SelectedNames, QList<QByteArray> {});
    QCOMPARE(w->panelText(0), w->censusText() + QStringLiteral("0 file目"));
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択  0 file ( 0 Byte )"));
    QCOMPARE(w->panelText(2), QStringLiteral(" 64 x 48 Pixel"));
    QCOMPARE(facts(*w->StringGrid1), factsBefore);
    QCOMPARE(gridRows(*w->StringGrid1, 5), rowsBefore);
    QCOMPARE(w->SelectedIndex, 1);
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainSelection::twoFilesKeepTheGridOfTheEarlierFile()
{
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    clickItem(*w, 2); // c.txt
    const QStringList factsBefore = facts(*w->StringGrid1);
    clickItem(*w, 1, Qt::ControlModifier); // b.jpg, the camera picture, added
    // Names in list order, whatever the order of the clicks.
    QCOMPARE(w->SelectedNames, (QList<QByteArray> {"b.jpg", "c.txt"}));
    QCOMPARE(w->panelText(0), w->censusText() + QStringLiteral("2 file目"));
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択  2 file ( 4.00 KByte )"));
    QCOMPARE(w->panelText(2), QStringLiteral(" 画像サイズ"));
    QCOMPARE(facts(*w->StringGrid1), factsBefore);
    QCOMPARE(factsBefore.at(3), QStringLiteral("c.txt"));
    QCOMPARE(w->StringGrid1->gridRowCount(), 6);
    QCOMPARE(w->SelectedIndex, 2);
    // A third, and the sum goes on: 1500 + 2500 + 10.
    clickItem(*w, 4, Qt::ControlModifier);
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択  3 file ( 4.01 KByte )"));
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainSelection::pictureGoneBehindTheProgramsBack_data()
{
    QTest::addColumn<QString>("replacement"); // what stands at the picture's name afterwards
    QTest::newRow("deleted") << QString();
    QTest::newRow("replaced by a folder") << QStringLiteral("folder");
    QTest::newRow("replaced by a FIFO, which must not stall the program") << QStringLiteral("fifo");
}

void TestTfMainSelection::pictureGoneBehindTheProgramsBack()
{
    QFETCH(QString, replacement);
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    clickItem(*w, 3); // d.jpg: one Exif row
    QCOMPARE(w->StringGrid1->gridRowCount(), 7);
    const QByteArray b = inFolder(m_photos, "b.jpg");
    QCOMPARE(::unlink(b.constData()), 0);
    if (replacement == u"folder")
        QVERIFY(makeFolder(b));
    else if (replacement == u"fifo")
        QCOMPARE(::mkfifo(b.constData(), 0600), 0);
    clickItem(*w, 1);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {"b.jpg"});
    QCOMPARE(w->panelText(2), QStringLiteral(" 64 x 48 Pixel"));
    QCOMPARE(facts(*w->StringGrid1),
        expectedFacts(
            QStringLiteral("b.jpg"), QStringLiteral("2500"), QStringLiteral(" 64 x 48 Pixel")));
    // No Exif walk, and d.jpg's row is not left under b.jpg's name.
    QCOMPARE(w->StringGrid1->gridRowCount(), 6);
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainSelection::exifErrorIsReportedAfterTheRows()
{
    namespace tag = exif::tag;
    testsupport::TiffBuilder b(testsupport::ByteOrder::Big);
    const std::size_t sub = b.addIfd();
    b.ascii(0, tag::Make, "Canon");
    b.ascii(0, tag::Model, "Broken");
    b.pointer(0, tag::ExifPointer, sub);
    b.rational(sub, tag::FNumber, 28, 0);
    b.shortValue(sub, tag::Flash, 1); // never reached
    const QByteArray folder = inFolder(m_desk, "broken");
    QVERIFY(makeFolder(folder));
    QVERIFY(
        writeDated(inFolder(folder, "x.jpg"), padded(cameraJpeg(40, 30, b.build().bytes), 3000)));

    std::unique_ptr<TfMain> w;
    QList<QStringList> rowsWhenShown;
    QStringList factsWhenShown;
    bool waitCursorWhenShown = true;
    const ModalCatcher catcher([&] {
        rowsWhenShown = gridRows(*w->StringGrid1, 6);
        factsWhenShown = facts(*w->StringGrid1);
        waitCursorWhenShown = QApplication::overrideCursor() != nullptr;
    });
    w = openOn(folder);
    QVERIFY(w);
    QCOMPARE(w->listModel()->entry(0).record.value(KindFlag), QStringLiteral("0"));
    clickItem(*w, 0);
    QCOMPARE(catcher.texts(), QStringList {QStringLiteral("0 による浮動小数点数除算.")});
    QCOMPARE(catcher.seen().front().icon, QMessageBox::Critical);
    const QList<QStringList> before {{QStringLiteral("メーカー名："), QStringLiteral("Canon")},
        {QStringLiteral("製品名："), QStringLiteral("Broken")}};
    QCOMPARE(rowsWhenShown, before);
    QCOMPARE(factsWhenShown,
        expectedFacts(
            QStringLiteral("x.jpg"), QStringLiteral("3000"), QStringLiteral(" 40 x 30 Pixel")));
    QVERIFY(!waitCursorWhenShown);
    // The state stays as it was when the report showed.
    QCOMPARE(gridRows(*w->StringGrid1, 6), before);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {"x.jpg"});
    QCOMPARE(w->panelText(2), QStringLiteral(" 40 x 30 Pixel"));
}

void TestTfMainSelection::exifRunsUnderTheWaitCursor()
{
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    QList<bool> waiting;
    connect(w->StringGrid1->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        const QCursor *c = QApplication::overrideCursor();
        waiting << (c != nullptr && c->shape() == Qt::WaitCursor);
    });
    clickItem(*w, 1);
    QVERIFY(!waiting.isEmpty());
    QCOMPARE(waiting, QList<bool>(waiting.size(), true));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestTfMainSelection::rebuildEmptiesTheSelectedNames()
{
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    // With nothing selected a rebuild leaves the selection panel as it was.
    w->actRenew->trigger();
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択ファイル"));
    clickItem(*w, 2);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {"c.txt"});
    const QStringList factsBefore = facts(*w->StringGrid1);
    w->actRenew->trigger();
    QCOMPARE(w->listModel()->count(), 5);
    QVERIFY(!w->ListView1->selectionModel()->hasSelection());
    // Nothing is shown selected, so the file commands have nothing to act on.
    QCOMPARE(w->SelectedNames, QList<QByteArray> {});
    QCOMPARE(w->panelText(0), w->censusText() + QStringLiteral("0 file目"));
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択  0 file ( 0 Byte )"));
    QCOMPARE(facts(*w->StringGrid1), factsBefore);
    QCOMPARE(w->SelectedIndex, 2);
}

void TestTfMainSelection::selectByKind_data()
{
    QTest::addColumn<int>("command"); // 0 actAll, 1 N22 (all), 2 N23 (all but pictures)
    QTest::addColumn<QStringList>("names");
    QTest::newRow("画像のみ選択") << 0 << QStringList {"b.jpg", "d.jpg"};
    QTest::newRow("すべて選択") << 1 << QStringList {"a.txt", "b.jpg", "c.txt", "d.jpg", "e.bin"};
    QTest::newRow("画像以外選択") << 2 << QStringList {"a.txt", "c.txt", "e.bin"};
}

void TestTfMainSelection::selectByKind()
{
    QFETCH(int, command);
    QFETCH(QStringList, names);
    const ModalCatcher catcher;
    auto w = openOn(m_photos);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->Edit2->setFocus();
    clickItem(*w, 2); // c.txt, which only "画像のみ選択" deselects
    w->Edit2->setFocus();
    QVERIFY(!w->ListView1->hasFocus());
    QAction *const commands[] = {w->actAll, w->N22, w->N23};
    commands[command]->trigger();
    QCOMPARE(w->SelectedNames, nativeNames(names));
    QCOMPARE(w->ListView1->selectionModel()->selectedIndexes().size(), names.size());
    QVERIFY(w->panelText(1).startsWith(QStringLiteral(" 選択  %1 file ( ").arg(names.size())));
    QVERIFY(w->ListView1->hasFocus());
}

void TestTfMainSelection::selectPicturesInAFolderWithoutPictures()
{
    const QByteArray folder = inFolder(m_desk, "texts");
    QVERIFY(makeFolder(folder));
    for (const char *n : {"1.txt", "2.txt", "fake.jpg"})
        QVERIFY(writeDated(inFolder(folder, n), "not a picture"));
    const ModalCatcher catcher;
    auto w = openOn(folder);
    QVERIFY(w);
    clickItem(*w, 1);
    QCOMPARE(w->SelectedNames.size(), 1);
    w->actAll->trigger();
    QVERIFY(!w->ListView1->selectionModel()->hasSelection());
    QCOMPARE(w->SelectedNames, QList<QByteArray> {});
    QCOMPARE(w->panelText(0), w->censusText() + QStringLiteral("0 file目"));
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択  0 file ( 0 Byte )"));
}

void TestTfMainSelection::selectByKindChangesTheSelectionOnce()
{
    // Pictures and other files taking turns, so the pictures make as many runs as there are.
    const QByteArray folder = inFolder(m_desk, "many");
    QVERIFY(makeFolder(folder));
    const QByteArray jpeg = plainJpeg(8, 8);
    QStringList pictures;
    QStringList all;
    for (int i = 0; i < 150; ++i) {
        const QByteArray stem = QByteArray::number(1000 + i);
        QVERIFY(test::writeFile(inFolder(folder, stem + "a.jpg"), jpeg));
        QVERIFY(test::writeFile(inFolder(folder, stem + "b.txt"), "x"));
        pictures << QString::fromLatin1(stem + "a.jpg");
        all << QString::fromLatin1(stem + "a.jpg") << QString::fromLatin1(stem + "b.txt");
    }
    const ModalCatcher catcher;
    auto w = openOn(folder, false);
    QVERIFY(w);
    QSignalSpy changes(w->ListView1->selectionModel(), &QItemSelectionModel::selectionChanged);
    w->actAll->trigger();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(w->SelectedNames, nativeNames(pictures));
    w->N22->trigger();
    QCOMPARE(changes.count(), 2);
    QCOMPARE(w->SelectedNames, nativeNames(all));
    w->N23->trigger();
    QCOMPARE(changes.count(), 3);
    QCOMPARE(w->SelectedNames.size(), 150);
    QCOMPARE(w->SelectedNames.front(), QByteArray("1000b.txt"));
}

namespace {

// Rows 0..count-1 as a selection of runs of the rows in `rows`.
QItemSelection selectionOf(const QAbstractItemModel &m, const QList<int> &rows)
{
    QItemSelection s;
    for (int r : rows)
        s.select(m.index(r, 0), m.index(r, 0));
    return s;
}

QList<int> rowsIn(const QItemSelection &s)
{
    QList<int> out;
    for (const QModelIndex &i : s.indexes())
        out << i.row();
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

void TestTfMainSelection::listSelectionModelReportsWhatQtReports_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("flags");
    const int replace = int(QItemSelectionModel::ClearAndSelect);
    QList<int> evens;
    QList<int> odds;
    for (int r = 0; r < 40; ++r)
        (r % 2 == 0 ? evens : odds) << r;
    QTest::newRow("overlapping runs") << QList<int> {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}
                                      << QList<int> {5, 6, 7, 8, 9, 10, 11, 12, 13, 14} << replace;
    QTest::newRow("evens to odds") << evens << odds << replace;
    QTest::newRow("all to evens") << (evens + odds) << evens << replace;
    QTest::newRow("evens to all") << evens << (evens + odds) << replace;
    QTest::newRow("same again") << evens << evens << replace;
    QTest::newRow("nothing before") << QList<int> {} << odds << replace;
    QTest::newRow("one item after many") << odds << QList<int> {4} << replace;
    QTest::newRow("select adds") << odds << QList<int> {0, 2} << int(QItemSelectionModel::Select);
    QTest::newRow("toggle") << odds << QList<int> {1, 2} << int(QItemSelectionModel::Toggle);
}

void TestTfMainSelection::listSelectionModelReportsWhatQtReports()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(int, flags);
    QStringList items;
    for (int r = 0; r < 40; ++r)
        items << QString::number(r);
    QStringListModel model(items);
    QItemSelectionModel plain(&model);
    ListSelectionModel ours(&model);
    struct Change
    {
        QList<int> selected;
        QList<int> deselected;
    };
    QList<Change> plainChanges;
    QList<Change> ourChanges;
    connect(&plain,
        &QItemSelectionModel::selectionChanged,
        this,
        [&](const QItemSelection &s, const QItemSelection &d) {
            plainChanges << Change {rowsIn(s), rowsIn(d)};
        });
    connect(&ours,
        &QItemSelectionModel::selectionChanged,
        this,
        [&](const QItemSelection &s, const QItemSelection &d) {
            ourChanges << Change {rowsIn(s), rowsIn(d)};
        });
    const auto command = QItemSelectionModel::SelectionFlags(flags);
    for (QItemSelectionModel *m : {&plain, static_cast<QItemSelectionModel *>(&ours)}) {
        m->select(selectionOf(model, before), QItemSelectionModel::ClearAndSelect);
        m->select(selectionOf(model, after), command);
    }
    QCOMPARE(rowsIn(ours.selection()), rowsIn(plain.selection()));
    QCOMPARE(ourChanges.size(), plainChanges.size());
    for (qsizetype i = 0; i < ourChanges.size(); ++i) {
        QCOMPARE(ourChanges[i].selected, plainChanges[i].selected);
        QCOMPARE(ourChanges[i].deselected, plainChanges[i].deselected);
    }
}

void TestTfMainSelection::exifBytes_data()
{
    QTest::addColumn<QByteArray>("name"); // in a folder of its own; empty: the folder itself
    QTest::addColumn<QString>("kind"); // "file", "link", "fifo", "missing"
    QTest::addColumn<qint64>("shrinkTo"); // bytes left after opening; -1: untouched
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("expected"); // bytes read back from the start of the contents
    QTest::addColumn<int>("rows"); // Exif rows of the walk over the opened file
    QTest::addColumn<bool>("readError"); // the walk ends with the read error
    using S = browser::ExifBytes::Status;
    const int ok = int(S::Ok);
    const int none = int(S::NotARegularFile);
    // The contents: Make inline, then 400 ISO entries (4840 bytes, see exifBytes).
    QTest::newRow("whole") << QByteArray("p.jpg") << "file" << qint64(-1) << ok << qint64(4840)
                           << 401 << false;
    QTest::newRow("name not UTF-8")
        << QByteArray("\xff\xfe.jpg") << "file" << qint64(-1) << ok << qint64(4840) << 401 << false;
    QTest::newRow("symlink to a file")
        << QByteArray("l.jpg") << "link" << qint64(-1) << ok << qint64(4840) << 401 << false;
    // Entries start at byte 22, 12 bytes apart: 22 ISO entries lie whole before byte 300, and
    // the 23rd's count is gone. The bytes were present when the file was opened.
    QTest::newRow("shrunk inside the directory after opening")
        << QByteArray("p.jpg") << "file" << qint64(300) << ok << qint64(300) << 23 << true;
    QTest::newRow("emptied after opening")
        << QByteArray("p.jpg") << "file" << qint64(0) << ok << qint64(0) << 0 << true;
    QTest::newRow("folder") << QByteArray() << "folder" << qint64(-1) << none << qint64(0) << 0
                            << false;
    QTest::newRow("fifo") << QByteArray("f.jpg") << "fifo" << qint64(-1) << none << qint64(0) << 0
                          << false;
    QTest::newRow("missing") << QByteArray("m.jpg") << "missing" << qint64(-1) << none << qint64(0)
                             << 0 << false;
}

void TestTfMainSelection::exifBytes()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, kind);
    QFETCH(qint64, shrinkTo);
    QFETCH(int, status);
    QFETCH(qint64, expected);
    QFETCH(int, rows);
    QFETCH(bool, readError);
    const QByteArray folder = inFolder(test::nativeOf(*m_dir), "bytes");
    QVERIFY(makeFolder(folder));
    testsupport::TiffBuilder b(testsupport::ByteOrder::Little);
    b.ascii(0, exif::tag::Make, "ABC");
    for (std::uint16_t i = 0; i < 400; ++i)
        b.shortValue(0, exif::tag::IsoSpeedRatings, i);
    const std::vector<std::uint8_t> jpeg = testsupport::exifJpeg(b.build().bytes);
    const QByteArray contents(
        reinterpret_cast<const char *>(jpeg.data()), static_cast<qsizetype>(jpeg.size()));
    QCOMPARE(contents.size(), 4840);
    const QByteArray path = name.isEmpty() ? folder : inFolder(folder, name);
    if (kind == u"file") {
        QVERIFY(test::writeFile(path, contents));
    } else if (kind == u"link") {
        QVERIFY(test::writeFile(inFolder(folder, "target"), contents));
        QCOMPARE(::symlink("target", path.constData()), 0);
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    }
    QCOMPARE(browser::isRegularFile(path), status == int(browser::ExifBytes::Status::Ok));
    browser::ExifBytes bytes(path);
    QCOMPARE(int(bytes.status()), status);
    // A file that shrinks while it is read (a mapping would fault here and end the program).
    if (shrinkTo >= 0)
        QCOMPARE(::truncate(path.constData(), shrinkTo), 0);
    QByteArray got(6000, '\0');
    got.resize(static_cast<qsizetype>(bytes.read(
        0, std::span(reinterpret_cast<std::uint8_t *>(got.data()), std::size_t(got.size())))));
    QCOMPARE(got, contents.left(expected));
    const exif::ExifResult result = exif::summaryRows(bytes);
    QCOMPARE(int(result.rows.size()), rows);
    QCOMPARE(result.error.has_value(), readError);
    if (readError)
        QCOMPARE(result.error->kind, exif::ExifErrorKind::ReadPastEnd);
}

QTEST_MAIN(TestTfMainSelection)
#include "tst_tfmain_selection.moc"
