// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's picture loading: full-size loads and their messages, and the worker that prepares
// the next picture, driven by a decoder the test holds back at will.
#include "support/imagefixtures.h"
#include "support/tempfolder.h"
#include "viewer/pictureloader.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace morvane;

Q_DECLARE_METATYPE(LoadedPicture)

namespace {

// A decoder that records what it was asked for and waits for the test's go for each decode.
struct HeldDecoder
{
    QSemaphore go;
    QMutex mutex;
    QList<QByteArray> asked;

    PicturePreparer::Decoder decoder()
    {
        return [this](const QByteArray &path, QSize, QImage, bool) {
            {
                QMutexLocker lock(&mutex);
                asked << path;
            }
            go.acquire();
            LoadedPicture p;
            if (path.startsWith("bad"))
                p.error = QStringLiteral("壊れています");
            else
                p.image = QImage(4, 3, QImage::Format_RGB32);
            return p;
        };
    }
    QList<QByteArray> seen()
    {
        QMutexLocker lock(&mutex);
        return asked;
    }
};

QList<QByteArray> paths(const QSignalSpy &spy)
{
    QList<QByteArray> out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toByteArray();
    return out;
}

} // namespace

class TestPictureLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<LoadedPicture>(); }
    void loadsAndExplains_data();
    void loadsAndExplains();
    void decodesIntoASpareOfItsSize_data();
    void decodesIntoASpareOfItsSize();
    void sweepChartsFineHalfIsAveragedOut_data();
    void sweepChartsFineHalfIsAveragedOut();
    void oneDecodeAtATimeAndOneWaiting();
    void waitForTakesTheResultInFlight();
};

void TestPictureLoader::loadsAndExplains_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("scaledTo");
    QTest::addColumn<QSize>("decoded"); // empty: the load fails
    QTest::addColumn<QSize>("full");
    QTest::addColumn<QString>("message");
    const QByteArray jpeg = testsupport::jpegBytes({.width = 30, .height = 20});
    // clang-format off
    const QSize none;
    const QSize full(30, 20);
    const QByteArray progressive = testsupport::jpegBytes({.width = 17, .height = 9, .progressive = true});
    QTest::newRow("JPEG at full size")       << QByteArray("a.jpg") << jpeg << none << full << full << QString();
    // Drawn smaller: libjpeg's sides are the full ones times M/8, rounded up; the smallest of
    // 1/8, 2/8 and 4/8 covering three times the drawing size, else the full size.
    QTest::newRow("JPEG drawn at 2x1: 2/8 is three times") << QByteArray("a.JPEG") << jpeg << QSize(2, 1) << QSize(8, 5) << full << QString();
    QTest::newRow("JPEG drawn at 5x3: 4/8")  << QByteArray("a.JPEG") << jpeg << QSize(5, 3) << QSize(15, 10) << full << QString();
    QTest::newRow("JPEG drawn at 7x5: full, not 4/8") << QByteArray("a.jpg") << jpeg << QSize(7, 5) << full << full << QString();
    QTest::newRow("JPEG drawn at 27x3: full, not 7/8") << QByteArray("a.jpg") << jpeg << QSize(27, 3) << full << full << QString();
    QTest::newRow("JPEG drawn larger: full") << QByteArray("a.jpg") << jpeg << QSize(60, 40) << full << full << QString();
    QTest::newRow("progressive JPEG")        << QByteArray("p.jpg") << progressive << none << QSize(17, 9) << QSize(17, 9) << QString();
    QTest::newRow("progressive drawn at 1x1: 2/8") << QByteArray("p.jpg") << progressive << QSize(1, 1) << QSize(5, 3) << QSize(17, 9) << QString();
    QTest::newRow("bitmap drawn smaller: full") << QByteArray("b.bmp") << testsupport::bmpBytes(7, 5, 1, 2, 3) << QSize(3, 2) << QSize(7, 5) << QSize(7, 5) << QString();
    QTest::newRow("icon")                    << QByteArray("i.ico") << testsupport::icoBytes(16, 1, 2, 3, 255) << none << QSize(16, 16) << QSize(16, 16) << QString();
    QTest::newRow("name not UTF-8")          << QByteArray("\xff\xfe.jpg") << jpeg << none << full << full << QString();
    QTest::newRow("cut JPEG")                << QByteArray("c.jpg") << jpeg.left(jpeg.size() / 2) << none << none << none << "画像として読み込めません";
    QTest::newRow("cut JPEG drawn smaller")  << QByteArray("c.jpg") << jpeg.left(jpeg.size() / 2) << QSize(4, 3) << none << none << "画像として読み込めません";
    QTest::newRow("missing file")            << QByteArray("gone.jpg") << QByteArray() << none << none << none << "見つかりません";
    QTest::newRow("folder with a picture's name") << QByteArray("dir.jpg") << QByteArray("/") << none << none << none << "画像ファイルではありません";
    QTest::newRow("other kind of file")      << QByteArray("x.png") << jpeg << none << none << none << "画像として読み込めません";
    // clang-format on
}

void TestPictureLoader::loadsAndExplains()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, scaledTo);
    QFETCH(QSize, decoded);
    QFETCH(QSize, full);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QByteArray path = test::inFolder(test::nativeOf(dir), name);
    if (bytes == "/")
        QVERIFY(test::makeFolder(path));
    else if (!bytes.isEmpty())
        QVERIFY(test::writeFile(path, bytes));
    const LoadedPicture p = loadPictureFile(path, scaledTo);
    auto sizeOf = [](const QImage &i) {
        return i.isNull() ? QSize() : i.size();
    };
    QCOMPARE(sizeOf(p.image), decoded);
    QCOMPARE(p.ok(), message.isEmpty());
    if (p.ok())
        QCOMPARE(p.fullSize, full);
    QCOMPARE(sizeOf(p.scaled), p.ok() && scaledTo.isValid() ? scaledTo : QSize());
    // What is decoded is detail enough for the drawing size, by the viewer's own test of it.
    QCOMPARE(coversDrawing(p.image, p.fullSize, scaledTo), p.ok());
    QVERIFY2(p.error.contains(message), qPrintable(p.error));
    if (!p.ok())
        QVERIFY2(p.error.contains(QFile::decodeName(name)), qPrintable(p.error));
    QVERIFY(test::removeContents(test::nativeOf(dir)));
}

void TestPictureLoader::decodesIntoASpareOfItsSize_data()
{
    QTest::addColumn<QSize>("spare");
    QTest::addColumn<QSize>("scaledTo");
    QTest::addColumn<bool>("heldElsewhere"); // another reference to the spare's pixels lives on
    QTest::addColumn<bool>("reused");
    // clang-format off
    QTest::newRow("full size, only reference")   << QSize(30, 20) << QSize() << false << true;
    QTest::newRow("reduced size, only reference") << QSize(15, 10) << QSize(5, 3) << false << true;
    QTest::newRow("still shown elsewhere")       << QSize(30, 20) << QSize() << true << false;
    QTest::newRow("other size")                  << QSize(20, 30) << QSize() << false << false;
    // clang-format on
}

void TestPictureLoader::decodesIntoASpareOfItsSize()
{
    QFETCH(QSize, spare);
    QFETCH(QSize, scaledTo);
    QFETCH(bool, heldElsewhere);
    QFETCH(bool, reused);
    QTemporaryDir dir;
    const QByteArray path = test::inFolder(test::nativeOf(dir), "a.jpg");
    QVERIFY(test::writeFile(
        path, testsupport::jpegBytes({.width = 30, .height = 20, .c0 = 200, .c1 = 30, .c2 = 30})));
    QImage image(spare, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const uchar *bits = image.constBits();
    const QImage elsewhere = heldElsewhere ? image : QImage();
    const LoadedPicture p = loadPictureFile(path, scaledTo, std::move(image));
    QVERIFY(p.ok());
    QCOMPARE(p.image.constBits() == bits, reused);
    QVERIFY(qRed(p.image.pixel(5, 5)) > 180);
    // A picture still in use is never written over.
    if (heldElsewhere)
        QCOMPARE(elsewhere.pixel(5, 5), QColor(Qt::blue).rgb());
}

void TestPictureLoader::sweepChartsFineHalfIsAveragedOut_data()
{
    // A sweep whose right half runs from 1 to 2 cycles per drawn pixel: finer than the screen
    // shows, so drawn it should be flat grey. Decoded at the drawing size and area-averaged, the
    // fine half keeps a pattern of about 9 to 11 levels (standard deviation); the sweep's sine has
    // 100. One row for each route: 4/8, 2/8 and the full decode when 4/8 is short of three times
    // the drawing.
    QTest::addColumn<QSize>("chart");
    QTest::addColumn<QSize>("drawn");
    QTest::addColumn<double>("most"); // levels
    QTest::newRow("1000x750 at 160x120, 4/8") << QSize(1000, 750) << QSize(160, 120) << 2.0;
    QTest::newRow("1200x900 at 200x150, 4/8") << QSize(1200, 900) << QSize(200, 150) << 2.0;
    QTest::newRow("2600x1950 at 200x150, 2/8") << QSize(2600, 1950) << QSize(200, 150) << 2.0;
    QTest::newRow("1500x1000 at 320x213, full") << QSize(1500, 1000) << QSize(320, 213) << 2.0;
}

void TestPictureLoader::sweepChartsFineHalfIsAveragedOut()
{
    QFETCH(QSize, chart);
    QFETCH(QSize, drawn);
    QFETCH(double, most);
    QTemporaryDir dir;
    const QByteArray path = test::inFolder(test::nativeOf(dir), "sweep.jpg");
    QVERIFY(test::writeFile(path,
        testsupport::jpegBytes({.width = chart.width(),
            .height = chart.height(),
            .colour = testsupport::JpegColour::Grey,
            .quality = 95,
            .c0 = 128,
            .sweepTo = 2.0 * drawn.width() / chart.width()})));
    const LoadedPicture p = loadPictureFile(path, drawn);
    QCOMPARE(p.scaled.size(), drawn);
    const double deviation = testsupport::sweepFineHalfDeviation(p.scaled);
    QVERIFY2(deviation <= most, qPrintable(QString::number(deviation)));
}

void TestPictureLoader::oneDecodeAtATimeAndOneWaiting()
{
    HeldDecoder held;
    PicturePreparer preparer(nullptr, held.decoder());
    QSignalSpy prepared(&preparer, &PicturePreparer::prepared);
    QSignalSpy failed(&preparer, &PicturePreparer::failed);
    preparer.request("a", {});
    QTRY_COMPARE(held.seen().size(), 1);
    preparer.request("b", {}); // waits
    preparer.request("bad", {}); // replaces b
    preparer.request("a", {}); // a is on its way: withdraws the waiting one
    preparer.request("bad", {});
    QVERIFY(preparer.isDecoding("a"));
    held.go.release(2);
    QTRY_VERIFY(preparer.isIdle());
    QCOMPARE(held.seen(), QList<QByteArray>({"a", "bad"}));
    QTRY_COMPARE(paths(prepared), QList<QByteArray>({"a"}));
    QCOMPARE(paths(failed), QList<QByteArray>({"bad"})); // silent: no message, only the notice
}

void TestPictureLoader::waitForTakesTheResultInFlight()
{
    HeldDecoder held;
    PicturePreparer preparer(nullptr, held.decoder());
    QSignalSpy prepared(&preparer, &PicturePreparer::prepared);
    preparer.request("a", {});
    QVERIFY(preparer.waitFor("b").image.isNull()); // not in flight: nothing to wait for
    held.go.release(1);
    QCOMPARE(preparer.waitFor("a").image.size(), QSize(4, 3));
    QVERIFY(preparer.isIdle());
    // The result reaches the caller only once: the worker's own notice, queued before it ended,
    // delivers nothing.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(prepared.count(), 0);
}

QTEST_MAIN(TestPictureLoader)
#include "tst_pictureloader.moc"
