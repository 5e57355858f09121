// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's list build on folders of real pictures: kinds, full sizes and the drawn box
// of each item, rebuilds from the Size and Quality menus, "UpDate" off giving the same list, and a
// build that ends early.
#include "browser/filelistmodel.h"
#include "browser/listbuilder.h"
#include "browser/tfmain.h"
#include "browser/thumbcache.h"
#include "frame/usererror.h"
#include "support/imagecheck.h"
#include "support/imagefixtures.h"
#include "tfmain_testing.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>

using namespace morvane;
using namespace morvane::test;
using morvane::testsupport::Coverage;
using morvane::testsupport::coverage;
using morvane::testsupport::JpegColour;

namespace {

bool writeJpeg(const QByteArray &path, int w, int h, bool progressive = false)
{
    return test::writeFile(path,
        testsupport::jpegBytes(
            {.width = w, .height = h, .progressive = progressive, .c0 = 200, .c1 = 30, .c2 = 30}));
}

const ListEntry *entryOf(const FileListModel &m, const char *caption)
{
    const int row = m.findCaption(QString::fromUtf8(caption));
    return row < 0 ? nullptr : &m.entry(row);
}

bool sameImage(const QImage &a, const QImage &b)
{
    return a.size() == b.size() && a.format() == b.format() && a.sizeInBytes() == b.sizeInBytes()
        && std::memcmp(a.constBits(), b.constBits(), static_cast<std::size_t>(a.sizeInBytes()))
        == 0;
}

// Holds every picture decode of a window's list until open(), so a test acts while the live
// build runs; records the names in the order the decodes were asked for.
class DecodeGate
{
public:
    [[nodiscard]] browser::ListBuilder::PictureDecoder decoder()
    {
        return [this](const QByteArray &path,
                   imaging::PictureFormat format,
                   const imaging::ThumbRequest &request,
                   const imaging::MemoryGate &memory) {
            {
                std::unique_lock lock(m_mutex);
                m_asked << path.mid(path.lastIndexOf('/') + 1);
                m_changed.wait(lock, [this] {
                    return m_open;
                });
            }
            return imaging::decodePictureFile(path, format, request, memory);
        };
    }
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    [[nodiscard]] QList<QByteArray> asked()
    {
        const std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    QList<QByteArray> m_asked;
};

// Opens the gate when it goes, before the window (made before it) waits for its decodes.
struct GateOpener
{
    std::shared_ptr<DecodeGate> gate;
    ~GateOpener() { gate->open(); }
};

// Pictures "<prefix>000.jpg" ... of `count`, the n-th `base + n` pixels wide (so a box's width
// tells whose picture it holds), written last first so the folder's order is not the list's.
// Returns their names in list order.
QStringList writeNumbered(const QByteArray &folder, const char *prefix, int count, int base)
{
    QStringList names;
    for (int i = count - 1; i >= 0; --i) {
        const QByteArray name = prefix + QByteArray::number(i).rightJustified(3, '0') + ".jpg";
        if (!writeJpeg(inFolder(folder, name), base + i, 30))
            return {};
        names.prepend(QString::fromLatin1(name));
    }
    return names;
}

// The number in a name written by writeNumbered ("p012.jpg", "z05.jpg": 12, 5).
int numberIn(const QString &caption)
{
    return caption.mid(1, caption.indexOf(u'.') - 1).toInt();
}

} // namespace

class TestTfMainThumbs : public test::DeskTest
{
    Q_OBJECT

private:
    // The photo folder opened with its decodes held at `gate`, without waiting for the build.
    std::unique_ptr<TfMain> openGated(const std::shared_ptr<DecodeGate> &gate)
    {
        return openOn(
            m_photos,
            true,
            [&](TfMain &m) {
                m.setPictureDecoder(gate->decoder());
            },
            false);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void picturesAndOtherFiles_data();
    void picturesAndOtherFiles();
    void checkedSizeItemRebuildsFromDisk();
    void enlargedPictureIsSmooth_data();
    void enlargedPictureIsSmooth();
    void refreshDecodesPastTheCache();
    void qualityRebuildsAtTheNewScale_data();
    void qualityRebuildsAtTheNewScale();
    void frozenBuildGivesTheSameList();
    void buildEndingEarlyKeepsTheCensus();
    void nestedRebuildLeavesTheListAlone();
    void liveBuildActsOnTheItemUnderThePointer();
    void liveBuildDecodesTheScreenFirst();
    void liveBuildStops_data();
    void liveBuildStops();
    void liveBuildFollowsCommands();
    void liveBuildEndsOnABrokenDecoder();

private:
    QByteArray m_photos;
};

void TestTfMainThumbs::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMainThumbs::init()
{
    QVERIFY(makeDesk());
    m_photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(m_photos));
}

void TestTfMainThumbs::cleanup()
{
    clearDesk();
}

void TestTfMainThumbs::picturesAndOtherFiles_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<int>("box");
    QTest::addColumn<QSize>("jpegDrawn"); // 1600 x 1200 at Eighth: 200 x 150 fitted
    QTest::addColumn<QSize>("bitmapDrawn"); // 1200 x 1600
    QTest::addColumn<int>("iconAt"); // box div 2 - 16
    // Worked by hand: 48: 200000 div 48 = 4166, 150000 div 4166 = 36; 1600000 div 48 = 33333,
    // 1200000 div 33333 = 36. 128: 200000 div 128 = 1562, 150000 div 1562 = 96; 1600000 div 128
    // = 12500, 1200000 div 12500 = 96.
    QTest::newRow("box 48") << 1 << 48 << QSize(48, 36) << QSize(36, 48) << 8;
    QTest::newRow("box 128") << 4 << 128 << QSize(128, 96) << QSize(96, 128) << 48;
    QTest::newRow("box 32: icon at 0,0") << 0 << 32 << QSize(32, 24) << QSize(24, 32) << 0;
}

void TestTfMainThumbs::picturesAndOtherFiles()
{
    QFETCH(int, sizeItem);
    QFETCH(int, box);
    QFETCH(QSize, jpegDrawn);
    QFETCH(QSize, bitmapDrawn);
    QFETCH(int, iconAt);
    QVERIFY(writeJpeg(inFolder(m_photos, "photo.jpg"), 1600, 1200));
    QVERIFY(writeJpeg(inFolder(m_photos, "prog.JPEG"), 1600, 1200, true));
    QVERIFY(test::writeFile(
        inFolder(m_photos, "tall.bmp"), testsupport::bmpBytes(1200, 1600, 10, 120, 30)));
    QVERIFY(
        test::writeFile(inFolder(m_photos, "mark.ico"), testsupport::icoBytes(16, 0, 0, 255, 255)));
    QVERIFY(test::writeFile(inFolder(m_photos, "notes.txt"), "hello\n"));
    QVERIFY(test::writeFile(inFolder(m_photos, "fake.jpg"), "no JPEG here"));
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    w->SizeItems[static_cast<std::size_t>(sizeItem)]->trigger();
    QVERIFY(waitFilled(*w));
    QCOMPARE(w->boxSize(), box);
    const FileListModel &m = *w->listModel();
    QCOMPARE(m.count(), 6);

    struct Expected
    {
        const char *caption;
        const char *kind;
        const char *width;
        const char *height;
        QRect drawn; // where the box is not white
    };
    const QRect icon(iconAt, iconAt, 32, 32);
    const Expected expected[] = {
        {"photo.jpg", "0", "1600", "1200", QRect(QPoint(0, 0), jpegDrawn)},
        {"prog.JPEG", "0", "1600", "1200", QRect(QPoint(0, 0), jpegDrawn)},
        {"tall.bmp", "0", "1200", "1600", QRect(QPoint(0, 0), bitmapDrawn)},
        {"mark.ico", "0", "16", "16", QRect(0, 0, 16, 16)}, // own size, whatever the box
        {"notes.txt", "1", "", "", icon},
        {"fake.jpg", "1", "", "", icon},
    };
    for (const Expected &e : expected) {
        const ListEntry *item = entryOf(m, e.caption);
        QVERIFY2(item != nullptr, e.caption);
        QCOMPARE(item->record.value(KindFlag), QString::fromLatin1(e.kind));
        QCOMPARE(item->record.value(WidthField), QString::fromLatin1(e.width));
        QCOMPARE(item->record.value(HeightField), QString::fromLatin1(e.height));
        const QImage image = item->thumb.box();
        QCOMPARE(image.size(), QSize(box, box));
        const Coverage c = coverage(image, e.drawn);
        QVERIFY2(c.outsideColoured == 0, e.caption);
        if (*e.kind == '0')
            QVERIFY2(c.insideWhite == 0, e.caption); // the picture fills its rectangle
        else
            QVERIFY2(c.insideColoured > 0, e.caption); // an icon was drawn there
    }
    // The photo's colour, not just anything: solid red-ish, decoded without a colour swap.
    const QRgb p = entryOf(m, "photo.jpg")->thumb.box().pixel(1, 1);
    QVERIFY2(qRed(p) > 150 && qGreen(p) < 80 && qBlue(p) < 80, qPrintable(QString::number(p, 16)));
    const QRgb b = entryOf(m, "tall.bmp")->thumb.box().pixel(1, 1);
    QCOMPARE(b & 0xFFFFFFu, qRgb(10, 120, 30) & 0xFFFFFFu);

    qint64 bytes = 0;
    for (int r = 0; r < m.count(); ++r)
        bytes += m.entry(r).record.value(SizeField).toLongLong();
    QVERIFY(bytes > 1000000); // the bitmap alone holds 5.76 MB
    const QString expectedCensus = QStringLiteral(" 全 6 file ( %1.%2 MByte ) 中 ")
                                       .arg(bytes / 1000000)
                                       .arg((bytes % 1000000) / 10000, 2, 10, QLatin1Char('0'));
    QCOMPARE(w->censusText(), expectedCensus);
    QCOMPARE(w->panelText(0), expectedCensus + QStringLiteral("0 file目"));
}

void TestTfMainThumbs::enlargedPictureIsSmooth_data()
{
    QTest::addColumn<int>("sizeItem");
    QTest::addColumn<QSize>("drawn");
    // A textured 1000 x 750 JPEG at Eighth decodes to 125 x 94. Box 256: 125000 div 256 = 488,
    // 94000 div 488 = 192; box 64: 125000 div 64 = 1953, 94000 div 1953 = 48.
    QTest::newRow("box 256: enlarged about twice") << 5 << QSize(256, 192);
    QTest::newRow("box 64: shrunk, sampled as before") << 2 << QSize(64, 48);
}

void TestTfMainThumbs::enlargedPictureIsSmooth()
{
    QFETCH(int, sizeItem);
    QFETCH(QSize, drawn);
    QVERIFY(test::writeFile(inFolder(m_photos, "big.jpg"),
        testsupport::jpegBytes({.width = 1000, .height = 750, .textured = true})));
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    w->SizeItems[static_cast<std::size_t>(sizeItem)]->trigger();
    const QImage box = w->listModel()->box(0);
    const Coverage c = coverage(box, QRect(QPoint(0, 0), drawn));
    QCOMPARE(c.outsideColoured, 0);
    QCOMPARE(c.insideWhite, 0);
    // Repeating each decoded pixel about twice makes every other neighbour an equal pair; the
    // interpolated box (and a shrunk one, whose neighbours come from pixels apart) has few.
    int equal = 0;
    int pairs = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 1; x < drawn.width(); ++x, ++pairs)
            equal += box.pixel(x, y) == box.pixel(x - 1, y) ? 1 : 0;
    }
    QVERIFY2(equal * 10 < pairs, qPrintable(QStringLiteral("%1 of %2").arg(equal).arg(pairs)));
}

void TestTfMainThumbs::checkedSizeItemRebuildsFromDisk()
{
    QVERIFY(writeJpeg(inFolder(m_photos, "a.jpg"), 64, 48));
    QVERIFY(test::writeFile(inFolder(m_photos, "b.txt"), "b"));
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    QCOMPARE(w->listModel()->count(), 2);
    // Behind the program's back a bitmap is added and the JPEG is overwritten with text.
    QVERIFY(test::writeFile(inFolder(m_photos, "c.bmp"), testsupport::bmpBytes(8, 8, 0, 0, 0)));
    QVERIFY(test::writeFile(inFolder(m_photos, "a.jpg"), "now text"));
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    QVERIFY(w->SizeItems[1]->isChecked());
    w->SizeItems[1]->trigger();
    QVERIFY(waitFilled(*w));
    QCOMPARE(built.count(), 1);
    const FileListModel &m = *w->listModel();
    QCOMPARE(m.count(), 3);
    QCOMPARE(entryOf(m, "a.jpg")->record.value(KindFlag), QStringLiteral("1"));
    QCOMPARE(entryOf(m, "c.bmp")->record.value(KindFlag), QStringLiteral("0"));
    QCOMPARE(entryOf(m, "c.bmp")->record.value(WidthField), QStringLiteral("8"));
    QCOMPARE(w->panelText(0).left(9), QStringLiteral(" 全 3 file"));
}

void TestTfMainThumbs::refreshDecodesPastTheCache()
{
    // The picture is red; an entry for it, valid for the file as it is, says blue. A rebuild from
    // the Size menu shows what the cache holds; "更新(&N)" decodes the file and rewrites the entry.
    const QByteArray path = inFolder(m_photos, "a.bmp");
    QVERIFY(test::writeFile(path, testsupport::bmpBytes(60, 40, 220, 0, 0)));
    struct stat st
    {
    };
    QCOMPARE(::stat(path.constData(), &st), 0);
    const browser::ThumbKey key {path.toStdString(), 48, 3, true}; // the list's: upright

    const browser::FileStamp stamp {st.st_size,
        std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
        std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec,
        st.st_ino};
    QImage blue(60, 40, QImage::Format_RGB32);
    blue.fill(qRgb(0, 0, 220));
    browser::ThumbCache cache(browser::ThumbCache::defaultFolder(), std::int64_t(64) << 20);
    QVERIFY(cache.write(key, stamp, {*ThumbForm::fromPicture(blue, false, 48), 60, 40}));

    auto w = openOn(m_photos, false);
    QVERIFY(w);
    const auto shown = [&w] {
        return QColor(w->listModel()->box(0).pixel(2, 2));
    };
    QCOMPARE(shown().blue(), 220);
    w->actRenew->trigger();
    QVERIFY(waitFilled(*w));
    QCOMPARE(shown().red(), 220);
    w->SizeItems[1]->trigger(); // from the rewritten entry
    QVERIFY(waitFilled(*w));
    QCOMPARE(shown().red(), 220);
}

void TestTfMainThumbs::qualityRebuildsAtTheNewScale_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("drawnHeight");
    // A 40 x 17 JPEG in the 48 box. Full: 40000 div 48 = 833, 17000 div 833 = 20. Half (20 x 9):
    // 416, 9000 div 416 = 21. Quarter (10 x 5): 208, 24. Eighth (5 x 3): 104, 28.
    QTest::newRow("Full") << 0 << 20;
    QTest::newRow("Half") << 1 << 21;
    QTest::newRow("Quarter") << 2 << 24;
    QTest::newRow("Eighth") << 3 << 28;
}

void TestTfMainThumbs::qualityRebuildsAtTheNewScale()
{
    QFETCH(int, item);
    QFETCH(int, drawnHeight);
    QVERIFY(writeJpeg(inFolder(m_photos, "wide.jpg"), 40, 17));
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    // Start from another scale, so each row's choice really changes it.
    w->QualityItems[item == 0 ? 3 : 0]->trigger();
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    w->QualityItems[static_cast<std::size_t>(item)]->trigger();
    QVERIFY(waitFilled(*w));
    QCOMPARE(built.count(), 1);
    QCOMPARE(w->jpegScale(), item);
    const ListEntry *e = entryOf(*w->listModel(), "wide.jpg");
    QVERIFY(e != nullptr);
    QCOMPARE(e->record.value(WidthField), QStringLiteral("40"));
    QCOMPARE(e->record.value(HeightField), QStringLiteral("17"));
    const Coverage c = coverage(e->thumb.box(), QRect(0, 0, 48, drawnHeight));
    QCOMPARE(c.outsideColoured, 0);
    QCOMPARE(c.insideWhite, 0);
}

void TestTfMainThumbs::frozenBuildGivesTheSameList()
{
    for (int i = 0; i < 12; ++i) {
        const QByteArray stem = "f" + QByteArray::number(i);
        bool ok = true;
        switch (i % 4) {
        case 0:
            ok = writeJpeg(inFolder(m_photos, stem + ".jpg"), 300 + i, 200, i % 8 == 0);
            break;
        case 1:
            ok = test::writeFile(
                inFolder(m_photos, stem + ".bmp"), testsupport::bmpBytes(20, 10 + i, 1, 2, 3));
            break;
        case 2:
            ok = test::writeFile(inFolder(m_photos, stem + ".txt"), "t");
            break;
        default:
            ok = test::writeFile(inFolder(m_photos, stem + ".jpg"), "broken");
            break;
        }
        QVERIFY(ok);
    }
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    std::vector<ListEntry> repainted;
    for (int r = 0; r < w->listModel()->count(); ++r)
        repainted.push_back(w->listModel()->entry(r));
    const QString census = w->panelText(0);

    w->UpDate1->trigger();
    QVERIFY(!w->UpDate1->isChecked());
    w->actRenew->trigger();
    QVERIFY(waitFilled(*w));
    QVERIFY(w->ListView1->updatesEnabled());
    const FileListModel &m = *w->listModel();
    QCOMPARE(static_cast<std::size_t>(m.count()), repainted.size());
    for (int r = 0; r < m.count(); ++r) {
        const ListEntry &a = m.entry(r);
        const ListEntry &b = repainted[static_cast<std::size_t>(r)];
        QCOMPARE(a.caption, b.caption);
        QCOMPARE(a.record, b.record);
        QVERIFY2(sameImage(a.thumb.box(), b.thumb.box()), qPrintable(a.caption));
    }
    QCOMPARE(w->panelText(0), census);
    QCOMPARE(w->panelText(0).left(10), QStringLiteral(" 全 12 file"));
}

void TestTfMainThumbs::buildEndingEarlyKeepsTheCensus()
{
    QVERIFY(test::writeFile(inFolder(m_photos, "a.txt"), "a"));
    auto w = openOn(m_photos, false);
    QVERIFY(w);
    const QString census = w->panelText(0);
    QCOMPARE(census.left(9), QStringLiteral(" 全 1 file"));
    // A Size item carrying a box the builder refuses: the build ends before the first file.
    w->SizeItems[0]->setData(5000);
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    QString shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    closer.start(10);
    w->SizeItems[0]->trigger();
    QVERIFY(waitFilled(*w));
    closer.stop();
    // The report appends "." to a text whose last character sorts above it.
    QCOMPARE(shown, QStringLiteral("サムネイルの大きさ 5000 は扱えません。."));
    QCOMPARE(built.count(), 0);
    QCOMPARE(w->panelText(0), census);
    QVERIFY(w->ListView1->updatesEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // Called directly, the same failure arrives as the error the report shows.
    QVERIFY_THROWS_EXCEPTION(UserError, w->ThumbnailList());
    QCOMPARE(w->panelText(0), census);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestTfMainThumbs::nestedRebuildLeavesTheListAlone()
{
    for (const char *n : {"a.txt", "b.txt", "c.jpg"})
        QVERIFY(test::writeFile(inFolder(m_photos, n), "x"));
    // The blocking build (the live one lists every item in one insert).
    auto w = openOn(m_photos, false, [](TfMain &main) {
        main.setLiveBuild(false);
    });
    QVERIFY(w);
    // A handler run by the list's own signals asks for a rebuild while items are added.
    int refused = 0;
    int rowsSeen = 0;
    const auto conn = connect(w->listModel(), &QAbstractItemModel::rowsInserted, this, [&] {
        try {
            w->ThumbnailList();
        } catch (const UserError &) {
            ++refused;
        }
        rowsSeen = w->listModel()->count();
    });
    w->actRenew->trigger();
    QVERIFY(waitFilled(*w));
    disconnect(conn);
    QCOMPARE(refused, 3);
    QCOMPARE(rowsSeen, 3);
    QCOMPARE(w->listModel()->count(), 3);
    QCOMPARE(w->panelText(0).left(9), QStringLiteral(" 全 3 file"));
}

void TestTfMainThumbs::liveBuildActsOnTheItemUnderThePointer()
{
    const QStringList names = writeNumbered(m_photos, "p", 210, 40);
    QCOMPARE(names.size(), 210);
    const auto gate = std::make_shared<DecodeGate>();
    auto w = openGated(gate);
    const GateOpener opener {gate};
    QVERIFY(w);
    const FileListModel &m = *w->listModel();
    // Before any picture is decoded: every item in its final place, the census of this folder,
    // the busy cursor and the progress.
    QVERIFY(w->isFilling());
    QCOMPARE(captions(m), names);
    QCOMPARE(w->censusText(), listCensus(m));
    QVERIFY(w->panelText(0).startsWith(QStringLiteral(" 全 210 file")));
    QCOMPARE(w->cursor().shape(), Qt::BusyCursor);
    const auto *progress = w->StatusBar1->findChild<QProgressBar *>();
    QVERIFY(progress != nullptr && progress->isVisible());
    QCOMPARE(progress->text(), QStringLiteral("読み込み中 0 / 210"));

    QSignalSpy built(w.get(), &TfMain::listBuilt);
    clickItem(*w, 6);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {"p006.jpg"});
    QVERIFY(w->panelText(0).endsWith(QStringLiteral(" 7 file目")));
    gate->open();
    QVERIFY(waitFilled(*w));
    QCOMPARE(built.count(), 1);
    // The click still names the 7th file, and each box holds its own file's picture.
    QCOMPARE(w->SelectedNames, QList<QByteArray> {"p006.jpg"});
    QCOMPARE(w->ListView1->selectionModel()->selectedIndexes(), {m.index(6)});
    QCOMPARE(captions(m), names);
    for (int r = 0; r < m.count(); ++r) {
        QCOMPARE(m.entry(r).record.value(KindFlag), QStringLiteral("0"));
        QCOMPARE(m.entry(r).record.value(WidthField), QString::number(40 + r));
    }
    QCOMPARE(w->panelText(2), QStringLiteral(" 46 x 30 Pixel")); // the 7th, known now
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!progress->isVisible());
}

void TestTfMainThumbs::liveBuildDecodesTheScreenFirst()
{
    const QStringList names = writeNumbered(m_photos, "p", 240, 40);
    const auto gate = std::make_shared<DecodeGate>();
    auto w = openGated(gate);
    const GateOpener opener {gate};
    QVERIFY(w);
    // Every decoding thread holds one of the first items; then the user goes to the end.
    const int threads = QThread::idealThreadCount();
    QTRY_COMPARE(gate->asked().size(), threads);
    w->ListView1->scrollToBottom();
    const QModelIndex last = w->listModel()->index(239);
    QVERIFY(w->ListView1->viewport()->rect().intersects(w->ListView1->visualRect(last)));
    gate->open();
    QVERIFY(waitFilled(*w));
    // The next decode is of an item on screen now.
    const QByteArray next = gate->asked().value(threads);
    const int row = w->listModel()->findNative(next);
    QVERIFY2(w->ListView1->viewport()->rect().intersects(
                 w->ListView1->visualRect(w->listModel()->index(row))),
        next.constData());
}

void TestTfMainThumbs::liveBuildStops_data()
{
    QTest::addColumn<int>("how"); // 0: another folder chosen; 1: Esc in the list; 2: closed
    QTest::newRow("another folder chosen mid-build") << 0;
    QTest::newRow("Esc in the list") << 1;
    QTest::newRow("window closed") << 2;
}

void TestTfMainThumbs::liveBuildStops()
{
    QFETCH(int, how);
    QVERIFY(!writeNumbered(m_photos, "a", 30, 40).isEmpty());
    const QByteArray other = inFolder(m_desk, "other");
    QVERIFY(makeFolder(other));
    const QStringList names = writeNumbered(other, "b", 20, 100);
    QVERIFY(test::writeFile(inFolder(other, "notes.txt"), "n"));
    const auto gate = std::make_shared<DecodeGate>();
    auto w = openGated(gate);
    const GateOpener opener {gate};
    QVERIFY(w);
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    const FileListModel &m = *w->listModel();
    if (how != 0) {
        if (how == 1)
            QTest::keyClick(w->ListView1, Qt::Key_Escape);
        else
            w->close();
        QVERIFY(!w->isFilling());
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(m.count(), 30);
        QCOMPARE(m.entry(29).record.value(WidthField), QString()); // never decoded
        return;
    }
    QVERIFY(w->ShellTreeView1->selectPath(other));
    // The new folder's items and census at once; the old build's boxes never arrive.
    QCOMPARE(w->FolderNative, other);
    QCOMPARE(captions(m), names + QStringList {"notes.txt"});
    QCOMPARE(w->censusText(), listCensus(m));
    QVERIFY(w->panelText(0).startsWith(QStringLiteral(" 全 21 file")));
    gate->open();
    QVERIFY(waitFilled(*w));
    QCOMPARE(built.count(), 1);
    QCOMPARE(captions(m), names + QStringList {"notes.txt"});
    for (int r = 0; r < 20; ++r)
        QCOMPARE(m.entry(r).record.value(WidthField), QString::number(100 + r));
}

void TestTfMainThumbs::liveBuildFollowsCommands()
{
    QVERIFY(!writeNumbered(m_photos, "p", 20, 40).isEmpty());
    const auto gate = std::make_shared<DecodeGate>();
    auto w = openGated(gate);
    const GateOpener opener {gate};
    QVERIFY(w);
    const FileListModel &m = *w->listModel();
    // While nothing is decoded: one file renamed, one deleted, as the dialogs do it.
    QCOMPARE(::rename(inFolder(m_photos, "p005.jpg").constData(),
                 inFolder(m_photos, "z05.jpg").constData()),
        0);
    QVERIFY(w->RenameListItem("p005.jpg", "z05.jpg"));
    QCOMPARE(::unlink(inFolder(m_photos, "p003.jpg").constData()), 0);
    QVERIFY(w->selectFile("p003.jpg"));
    w->RemoveSelectedItems();
    QCOMPARE(w->censusText(), listCensus(m));
    QVERIFY(w->panelText(0).startsWith(QStringLiteral(" 全 19 file")));
    gate->open();
    QVERIFY(waitFilled(*w));
    QCOMPARE(m.count(), 19);
    QCOMPARE(m.entry(18).caption, QStringLiteral("z05.jpg"));
    QCOMPARE(m.findCaption(QStringLiteral("p003.jpg")), -1);
    for (int r = 0; r < m.count(); ++r) {
        const ListEntry &e = m.entry(r);
        QVERIFY2(e.isPicture(), qPrintable(e.caption));
        QVERIFY2(e.record.value(WidthField) == QString::number(40 + numberIn(e.caption)),
            qPrintable(e.caption));
    }
}

void TestTfMainThumbs::liveBuildEndsOnABrokenDecoder()
{
    const QStringList names = writeNumbered(m_photos, "p", 6, 40);
    QVERIFY(!names.isEmpty());
    // The decoder breaks on one file, beside others and alone.
    const auto decoder = [](const QByteArray &path,
                             imaging::PictureFormat format,
                             const imaging::ThumbRequest &request,
                             const imaging::MemoryGate &memory) {
        if (path.endsWith("p004.jpg"))
            throw std::runtime_error("decoder broke");
        return imaging::decodePictureFile(path, format, request, memory);
    };
    QString shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    closer.start(10);
    auto w = openOn(
        m_photos,
        true,
        [&](TfMain &m) {
            m.setPictureDecoder(decoder);
        },
        false);
    QVERIFY(w);
    QTRY_VERIFY(!shown.isEmpty());
    closer.stop();
    QCOMPARE(shown,
        QStringLiteral("「p004.jpg」を読み込めないため、ファイル一覧の作成を中断しました。."));
    // The build stopped; every item stays, with the census of the folder.
    QVERIFY(!w->isFilling());
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(captions(*w->listModel()), names);
    QCOMPARE(w->censusText(), listCensus(*w->listModel()));
    QCOMPARE(w->listModel()->entry(4).record.value(WidthField), QString());
}

QTEST_MAIN(TestTfMainThumbs)
#include "tst_tfmain_thumbs.moc"
