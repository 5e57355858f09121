// SPDX-License-Identifier: GPL-3.0-or-later
// The picture decoders: JPEG sizes and colours at every scale, libjpeg errors as failures,
// Qt's bitmap and icon readers with the format forced, and reading files that fight back.
#include "imaging/imagedecode.h"
#include "imaging/jpegdecode.h"
#include "support/imagefixtures.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using morvane::imaging::CoefficientNeed;
using morvane::imaging::decodeJpeg;
using morvane::imaging::DecodeResult;
using morvane::imaging::DecodeStatus;
using morvane::testsupport::JpegColour;
using morvane::testsupport::JpegRecipe;

Q_DECLARE_METATYPE(JpegColour)
Q_DECLARE_METATYPE(DecodeStatus)
Q_DECLARE_METATYPE(CoefficientNeed)

namespace {

DecodeResult decodeBytes(const QByteArray &bytes, int shift)
{
    return decodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()),
        shift);
}

// A baseline JPEG whose frame header claims width x height; its data is that of a small picture,
// so a decode that gets past the header fails on the data.
QByteArray jpegClaiming(int width, int height)
{
    QByteArray bytes = morvane::testsupport::jpegBytes({.width = 64, .height = 48});
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return {};
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height & 0xFF);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width & 0xFF);
    return bytes;
}

// A 24-bit BMP whose header claims width x height, with only a few rows of data (Qt's reader
// keeps what is there).
QByteArray bmpClaiming(int width, int height)
{
    QByteArray bytes = morvane::testsupport::bmpBytes(4, 4, 10, 20, 30);
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = char((width >> (8 * i)) & 0xFF);
        bytes[22 + i] = char((height >> (8 * i)) & 0xFF);
    }
    return bytes;
}

bool near(int a, int b, int tolerance)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

class TestPictureDecode : public QObject
{
    Q_OBJECT

private slots:
    void jpegScaledSize_data();
    void jpegScaledSize();
    void jpegColours_data();
    void jpegColours();
    void jpegFailures_data();
    void jpegFailures();
    void progressiveReading_data();
    void progressiveReading();
    void formatForName_data();
    void formatForName();
    void qtReaders_data();
    void qtReaders();
    void sizeLimit_data();
    void sizeLimit();
    void outOfMemoryIsNoFormatError_data();
    void outOfMemoryIsNoFormatError();
    void readWholeFile_data();
    void readWholeFile();
    void fifoDoesNotBlock();
};

void TestPictureDecode::jpegScaledSize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<QSize>("expected");
    // Sides divided by 2^shift and rounded up (hand-worked).
    QTest::newRow("1600x1200 eighth") << 1600 << 1200 << 3 << false << QSize(200, 150);
    QTest::newRow("1600x1200 quarter") << 1600 << 1200 << 2 << false << QSize(400, 300);
    QTest::newRow("1600x1200 half") << 1600 << 1200 << 1 << false << QSize(800, 600);
    QTest::newRow("1600x1200 full") << 1600 << 1200 << 0 << false << QSize(1600, 1200);
    QTest::newRow("1001x333 eighth rounds up") << 1001 << 333 << 3 << false << QSize(126, 42);
    QTest::newRow("1001x333 quarter rounds up") << 1001 << 333 << 2 << false << QSize(251, 84);
    QTest::newRow("1001x333 half rounds up") << 1001 << 333 << 1 << false << QSize(501, 167);
    QTest::newRow("7x5 eighth is one pixel") << 7 << 5 << 3 << false << QSize(1, 1);
    QTest::newRow("progressive 1600x1200 eighth") << 1600 << 1200 << 3 << true << QSize(200, 150);
    QTest::newRow("progressive 999x17 half") << 999 << 17 << 1 << true << QSize(500, 9);
}

void TestPictureDecode::jpegScaledSize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, shift);
    QFETCH(bool, progressive);
    QFETCH(QSize, expected);
    const QByteArray bytes = morvane::testsupport::jpegBytes(
        {.width = width, .height = height, .progressive = progressive});
    QVERIFY(!bytes.isEmpty());
    const DecodeResult decoded = decodeBytes(bytes, shift);
    QCOMPARE(decoded.status, DecodeStatus::Decoded);
    QCOMPARE(decoded.picture.image.size(), expected);
    QCOMPARE(decoded.picture.fullWidth, width);
    QCOMPARE(decoded.picture.fullHeight, height);
    QCOMPARE(decoded.picture.image.format(), QImage::Format_RGB32);
}

void TestPictureDecode::jpegColours_data()
{
    QTest::addColumn<JpegColour>("colour");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<int>("c0");
    QTest::addColumn<int>("c1");
    QTest::addColumn<int>("c2");
    QTest::addColumn<int>("c3");
    QTest::addColumn<QColor>("expected");
    // Expected colours from colour arithmetic, not from the decoder: grey g is (g, g, g); cyan
    // ink absorbs red; black ink at half darkens every channel to about half.
    QTest::newRow("rgb red") << JpegColour::Rgb << false << 200 << 30 << 30 << 0
                             << QColor(200, 30, 30);
    QTest::newRow("rgb progressive")
        << JpegColour::Rgb << true << 20 << 120 << 220 << 0 << QColor(20, 120, 220);
    QTest::newRow("grey 128") << JpegColour::Grey << false << 128 << 0 << 0 << 0
                              << QColor(128, 128, 128);
    QTest::newRow("grey progressive 30")
        << JpegColour::Grey << true << 30 << 0 << 0 << 0 << QColor(30, 30, 30);
    QTest::newRow("cmyk cyan ink")
        << JpegColour::Cmyk << false << 255 << 0 << 0 << 0 << QColor(0, 255, 255);
    QTest::newRow("cmyk yellow ink half black")
        << JpegColour::Cmyk << false << 0 << 0 << 255 << 128 << QColor(127, 127, 0);
    QTest::newRow("ycck magenta ink")
        << JpegColour::Ycck << false << 0 << 255 << 0 << 0 << QColor(255, 0, 255);
    QTest::newRow("cmyk no ink is white")
        << JpegColour::Cmyk << true << 0 << 0 << 0 << 0 << QColor(255, 255, 255);
}

void TestPictureDecode::jpegColours()
{
    QFETCH(JpegColour, colour);
    QFETCH(bool, progressive);
    QFETCH(int, c0);
    QFETCH(int, c1);
    QFETCH(int, c2);
    QFETCH(int, c3);
    QFETCH(QColor, expected);
    const QByteArray bytes = morvane::testsupport::jpegBytes({.width = 64,
        .height = 48,
        .colour = colour,
        .progressive = progressive,
        .quality = 95,
        .c0 = uchar(c0),
        .c1 = uchar(c1),
        .c2 = uchar(c2),
        .c3 = uchar(c3)});
    QVERIFY(!bytes.isEmpty());
    for (int shift = 0; shift <= 3; ++shift) {
        const DecodeResult decoded = decodeBytes(bytes, shift);
        QVERIFY2(decoded.status == DecodeStatus::Decoded,
            qPrintable(QStringLiteral("shift %1").arg(shift)));
        const QImage &image = decoded.picture.image;
        const QColor got = image.pixelColor(image.width() / 2, image.height() / 2);
        const QString detail = QStringLiteral("shift %1: got %2 %3 %4")
                                   .arg(shift)
                                   .arg(got.red())
                                   .arg(got.green())
                                   .arg(got.blue());
        QVERIFY2(near(got.red(), expected.red(), 6), qPrintable(detail));
        QVERIFY2(near(got.green(), expected.green(), 6), qPrintable(detail));
        QVERIFY2(near(got.blue(), expected.blue(), 6), qPrintable(detail));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 255);
    }
}

void TestPictureDecode::jpegFailures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("shift");
    const QByteArray good = morvane::testsupport::jpegBytes({.width = 320, .height = 240});
    const QByteArray progressive =
        morvane::testsupport::jpegBytes({.width = 320, .height = 240, .progressive = true});
    QTest::newRow("text") << QByteArray("this is no picture\n") << 3;
    QTest::newRow("empty") << QByteArray() << 3;
    QTest::newRow("start of image marker only") << QByteArray("\xFF\xD8", 2) << 3;
    QTest::newRow("truncated to the headers") << good.left(200) << 3;
    QTest::newRow("truncated halfway") << good.left(good.size() / 2) << 3;
    QTest::newRow("truncated halfway, full size") << good.left(good.size() / 2) << 0;
    QTest::newRow("end marker missing") << good.left(good.size() - 2) << 3;
    QTest::newRow("progressive truncated") << progressive.left(progressive.size() * 2 / 3) << 2;
    // At 1/8 most scans are not decoded; a file cut short is still no picture.
    QTest::newRow("progressive truncated, eighth")
        << progressive.left(progressive.size() * 2 / 3) << 3;
    QTest::newRow("progressive end marker missing, eighth")
        << progressive.left(progressive.size() - 2) << 3;
    QTest::newRow("scale too large") << good << 4;
    QTest::newRow("scale negative") << good << -1;
}

void TestPictureDecode::jpegFailures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, shift);
    QCOMPARE(decodeBytes(bytes, shift).status, DecodeStatus::NotPicture);
}

void TestPictureDecode::progressiveReading_data()
{
    QTest::addColumn<JpegColour>("colour");
    QTest::addColumn<int>("shift");
    // 1: the thumbnail list's choice for the scale; 2: the viewer's, asked for the scaled size;
    // 0: the reading the next columns give.
    QTest::addColumn<int>("reader");
    QTest::addColumn<CoefficientNeed>("partial"); // else: scans skipped, this for 2-4 px blocks
    QTest::addColumn<bool>("prefixOnly");
    QTest::addColumn<double>("meanBound"); // levels, over every channel of every pixel
    QTest::addColumn<int>("maxBound");
    QTest::addColumn<bool>("differs"); // some pixel must differ: scans were really left out
    const auto all = CoefficientNeed::All;
    // The list's and the viewer's readings give exactly the pixels of the decode that reads
    // every scan.
    QTest::newRow("list, eighth, 4:2:0")
        << JpegColour::Rgb << 3 << 1 << all << false << 0.0 << 0 << false;
    QTest::newRow("list, eighth, grey")
        << JpegColour::Grey << 3 << 1 << all << false << 0.0 << 0 << false;
    QTest::newRow("list, quarter")
        << JpegColour::Rgb << 2 << 1 << all << false << 0.0 << 0 << false;
    QTest::newRow("list, half") << JpegColour::Rgb << 1 << 1 << all << false << 0.0 << 0 << false;
    QTest::newRow("viewer, eighth")
        << JpegColour::Rgb << 3 << 2 << all << false << 0.0 << 0 << false;
    QTest::newRow("viewer, half") << JpegColour::Rgb << 1 << 2 << all << false << 0.0 << 0 << false;
    QTest::newRow("stopping after the last needed scan, eighth")
        << JpegColour::Rgb << 3 << 0 << all << true << 0.0 << 0 << false;
    // Readings that leave out coefficients the output shows differ, within bounds.
    QTest::newRow("DC only, eighth: chroma from block means")
        << JpegColour::Rgb << 3 << 0 << CoefficientNeed::DcOnly << false << 64.0 << 128 << true;
    QTest::newRow("first AC passes, quarter")
        << JpegColour::Rgb << 2 << 0 << CoefficientNeed::FirstPass << false << 6.0 << 80 << true;
}

void TestPictureDecode::progressiveReading()
{
    QFETCH(JpegColour, colour);
    QFETCH(int, shift);
    QFETCH(int, reader);
    QFETCH(CoefficientNeed, partial);
    QFETCH(bool, prefixOnly);
    QFETCH(double, meanBound);
    QFETCH(int, maxBound);
    QFETCH(bool, differs);
    const QByteArray bytes = morvane::testsupport::jpegBytes({.width = 317,
        .height = 203,
        .colour = colour,
        .progressive = true,
        .textured = true,
        .c0 = 90,
        .c1 = 160,
        .c2 = 40});
    QVERIFY(!bytes.isEmpty());
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto size = static_cast<std::size_t>(bytes.size());
    const DecodeResult full = decodeJpeg(data, size, shift, {}, {});
    const DecodeResult decoded = reader == 1 ? decodeJpeg(data, size, shift)
        : reader == 2                        ? decodeJpeg(
              data, size, morvane::imaging::JpegShowOptions {full.picture.image.size(), {}, {}, {}})
                      : decodeJpeg(data, size, shift, {}, {true, partial, prefixOnly});
    QCOMPARE(full.status, DecodeStatus::Decoded);
    QCOMPARE(decoded.status, DecodeStatus::Decoded);
    const QImage &a = full.picture.image;
    const QImage &b = decoded.picture.image;
    QCOMPARE(b.size(), a.size());
    double sum = 0;
    int maxDiff = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            for (const int d : {p.red() - q.red(), p.green() - q.green(), p.blue() - q.blue()}) {
                sum += std::abs(d);
                maxDiff = std::max(maxDiff, std::abs(d));
            }
        }
    }
    const double mean = sum / (3.0 * a.width() * a.height());
    const QByteArray detail = QStringLiteral("mean %1, max %2").arg(mean).arg(maxDiff).toUtf8();
    QVERIFY2(mean <= meanBound && maxDiff <= maxBound, detail.constData());
    QVERIFY2((maxDiff > 0) == differs, detail.constData());
}

void TestPictureDecode::formatForName_data()
{
    using morvane::imaging::PictureFormat;
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("format");
    QTest::newRow("jpg") << QByteArray("a.jpg") << int(PictureFormat::Jpeg);
    QTest::newRow("JPEG upper") << QByteArray("B.JPEG") << int(PictureFormat::Jpeg);
    QTest::newRow("Jpg mixed") << QByteArray("c.d.Jpg") << int(PictureFormat::Jpeg);
    QTest::newRow("bmp") << QByteArray("x.BmP") << int(PictureFormat::Bitmap);
    QTest::newRow("ico") << QByteArray("x.ico") << int(PictureFormat::Icon);
    QTest::newRow("wmf has no decoder") << QByteArray("x.wmf") << int(PictureFormat::None);
    QTest::newRow("emf has no decoder") << QByteArray("x.EMF") << int(PictureFormat::None);
    QTest::newRow("png") << QByteArray("x.png") << int(PictureFormat::Png);
    QTest::newRow("gif") << QByteArray("x.GIF") << int(PictureFormat::Gif);
    QTest::newRow("webp") << QByteArray("x.WebP") << int(PictureFormat::WebP);
    QTest::newRow("tif") << QByteArray("x.tif") << int(PictureFormat::Tiff);
    QTest::newRow("tiff") << QByteArray("x.TIFF") << int(PictureFormat::Tiff);
    QTest::newRow("tga") << QByteArray("x.tga") << int(PictureFormat::Targa);
    QTest::newRow("pgm") << QByteArray("x.pgm") << int(PictureFormat::Netpbm);
    QTest::newRow("heic") << QByteArray("IMG_0001.HEIC") << int(PictureFormat::Heif);
    QTest::newRow("avif") << QByteArray("x.avif") << int(PictureFormat::Heif);
    QTest::newRow("jxl") << QByteArray("x.jxl") << int(PictureFormat::JpegXl);
    QTest::newRow("cr2") << QByteArray("x.CR2") << int(PictureFormat::Raw);
    QTest::newRow("dng") << QByteArray("x.dng") << int(PictureFormat::Raw);
    QTest::newRow("rw2") << QByteArray("x.Rw2") << int(PictureFormat::Raw);
    QTest::newRow("svg has no decoder") << QByteArray("x.svg") << int(PictureFormat::None);
    QTest::newRow("jpg inside the name") << QByteArray("x.jpg.txt") << int(PictureFormat::None);
    QTest::newRow("longer extension") << QByteArray("x.jpgx") << int(PictureFormat::None);
    QTest::newRow("shorter extension") << QByteArray("x.jp") << int(PictureFormat::None);
    QTest::newRow("no dot") << QByteArray("jpg") << int(PictureFormat::None);
    QTest::newRow("trailing dot") << QByteArray("x.") << int(PictureFormat::None);
    QTest::newRow("dot-file named .jpg") << QByteArray(".jpg") << int(PictureFormat::Jpeg);
    QTest::newRow("name not UTF-8") << QByteArray("\x82\xa0\xff.jpg") << int(PictureFormat::Jpeg);
}

void TestPictureDecode::formatForName()
{
    QFETCH(QByteArray, name);
    QFETCH(int, format);
    QCOMPARE(int(morvane::imaging::pictureFormatForName(name)), format);
}

void TestPictureDecode::qtReaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("icon");
    QTest::addColumn<QSize>("size"); // invalid: must fail
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("alpha"); // icons always carry their alpha, opaque or not
    using namespace morvane::testsupport;
    QTest::newRow("bitmap 17x9") << bmpBytes(17, 9, 10, 200, 30) << false << QSize(17, 9)
                                 << QColor(10, 200, 30) << false;
    QTest::newRow("icon 32 opaque")
        << icoBytes(32, 0, 0, 255, 255) << true << QSize(32, 32) << QColor(0, 0, 255) << true;
    QTest::newRow("icon 48 half transparent")
        << icoBytes(48, 255, 0, 0, 128) << true << QSize(48, 48) << QColor(255, 0, 0) << true;
    QTest::newRow("bitmap named but jpeg inside")
        << jpegBytes(JpegRecipe {}) << false << QSize() << QColor() << false;
    QTest::newRow("icon named but bitmap inside")
        << bmpBytes(8, 8, 1, 2, 3) << true << QSize() << QColor() << false;
    QTest::newRow("bitmap truncated header")
        << bmpBytes(8, 8, 1, 2, 3).left(20) << false << QSize() << QColor() << false;
    QTest::newRow("bitmap empty") << QByteArray() << false << QSize() << QColor() << false;
    QTest::newRow("icon empty") << QByteArray() << true << QSize() << QColor() << false;
}

void TestPictureDecode::qtReaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, icon);
    QFETCH(QSize, size);
    QFETCH(QColor, colour);
    QFETCH(bool, alpha);
    const DecodeResult decoded =
        icon ? morvane::imaging::decodeIcon(bytes) : morvane::imaging::decodeBitmap(bytes);
    if (!size.isValid()) {
        QCOMPARE(decoded.status, DecodeStatus::NotPicture);
        return;
    }
    QCOMPARE(decoded.status, DecodeStatus::Decoded);
    const morvane::imaging::DecodedPicture &picture = decoded.picture;
    QCOMPARE(picture.image.size(), size);
    QCOMPARE(QSize(picture.fullWidth, picture.fullHeight), size);
    const QColor got = picture.image.pixelColor(size.width() / 2, size.height() / 2);
    QCOMPARE(got.red(), colour.red());
    QCOMPARE(got.green(), colour.green());
    QCOMPARE(got.blue(), colour.blue());
    QCOMPARE(picture.image.hasAlphaChannel(), alpha);
}

void TestPictureDecode::sizeLimit_data()
{
    using morvane::imaging::kMaxPicturePixels;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<DecodeStatus>("status");
    static_assert(kMaxPicturePixels == 16384 * 16384);
    // At the limit the header passes and the decode goes on: the JPEG then fails on its data,
    // the bitmap keeps the rows it has. One row or column more is refused from the header, at
    // every scale.
    QTest::newRow("jpeg at the limit")
        << jpegClaiming(16384, 16384) << QByteArray("jpg") << DecodeStatus::NotPicture;
    QTest::newRow("jpeg one row over")
        << jpegClaiming(16384, 16385) << QByteArray("jpg") << DecodeStatus::TooLarge;
    QTest::newRow("jpeg one column over")
        << jpegClaiming(16385, 16384) << QByteArray("jpg") << DecodeStatus::TooLarge;
    QTest::newRow("bitmap at the limit")
        << bmpClaiming(16384, 16384) << QByteArray("bmp") << DecodeStatus::Decoded;
    // Qt's bitmap reader refuses such a header itself, at the same number of pixels.
    QTest::newRow("bitmap one row over")
        << bmpClaiming(16384, 16385) << QByteArray("bmp") << DecodeStatus::NotPicture;
    // Above Qt's own default allocation limit of 128 MiB.
    QTest::newRow("bitmap 5800 x 5800")
        << bmpClaiming(5800, 5800) << QByteArray("bmp") << DecodeStatus::Decoded;
}

void TestPictureDecode::sizeLimit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, format);
    QFETCH(DecodeStatus, status);
    QVERIFY(!bytes.isEmpty());
    const DecodeResult decoded =
        format == "jpg" ? decodeBytes(bytes, 3) : morvane::imaging::decodeBitmap(bytes);
    QCOMPARE(decoded.status, status);
    if (format == "jpg")
        QCOMPARE(decodeBytes(bytes, 0).status, status); // the full size counts, at every scale
}

void TestPictureDecode::outOfMemoryIsNoFormatError_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<DecodeStatus>("unlimited"); // the status with memory to spare
    // 8000 x 8000 pixels take 244 MiB, more than the limited address space leaves.
    QTest::newRow("jpeg image") << jpegClaiming(8000, 8000) << QByteArray("jpg")
                                << DecodeStatus::NotPicture;
    QTest::newRow("bitmap image") << bmpClaiming(8000, 8000) << QByteArray("bmp")
                                  << DecodeStatus::Decoded;
    // A file of 200 MiB: its bytes do not fit.
    QTest::newRow("file bytes") << QByteArray() << QByteArray("jpg") << DecodeStatus::NotPicture;
}

void TestPictureDecode::outOfMemoryIsNoFormatError()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizers reserve more address space than a limit can leave");
#endif
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, format);
    QFETCH(DecodeStatus, unlimited);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.filePath(QString::fromLatin1("f." + format)));
    if (bytes.isEmpty()) {
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(200) << 20));
    } else {
        QVERIFY(morvane::testsupport::writeFile(QFile::decodeName(path), bytes));
    }
    const auto loader = format == "jpg" ? morvane::imaging::PictureFormat::Jpeg
                                        : morvane::imaging::PictureFormat::Bitmap;
    QCOMPARE(morvane::imaging::decodePictureFile(path, loader, 0).status, unlimited);

    // The same decode in a child whose address space has 64 MiB to spare.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        long pages = 0;
        if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
        const rlimit limit {room, room};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(100);
        ::_exit(int(morvane::imaging::decodePictureFile(path, loader, 0).status));
    }
    int wstatus = 0;
    QCOMPARE(::waitpid(child, &wstatus, 0), child);
    QVERIFY(WIFEXITED(wstatus));
    QCOMPARE(DecodeStatus(WEXITSTATUS(wstatus)), DecodeStatus::NoMemory);
}

void TestPictureDecode::readWholeFile_data()
{
    QTest::addColumn<QByteArray>("setup"); // what the path is
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("size");
    QTest::newRow("ordinary file") << QByteArray("file:12345") << qint64(1000) << true << qint64(5);
    QTest::newRow("zero-byte file reads as empty")
        << QByteArray("file:") << qint64(1000) << true << qint64(0);
    QTest::newRow("exactly at the limit")
        << QByteArray("file:abcd") << qint64(4) << true << qint64(4);
    QTest::newRow("one byte over the limit")
        << QByteArray("file:abcde") << qint64(4) << false << qint64(0);
    QTest::newRow("missing file") << QByteArray("missing") << qint64(1000) << false << qint64(0);
    QTest::newRow("directory") << QByteArray("dir") << qint64(1000) << false << qint64(0);
    // Reported as a regular file of size 0, yet it holds text: the size is not trusted.
    QTest::newRow("size 0 with content")
        << QByteArray("/proc/self/status") << qint64(1 << 20) << true << qint64(-1);
    // Opens, but every read fails (offset 0 of the address space is not mapped).
    QTest::newRow("read fails") << QByteArray("/proc/self/mem") << qint64(1 << 20) << false
                                << qint64(0);
}

void TestPictureDecode::readWholeFile()
{
    QFETCH(QByteArray, setup);
    QFETCH(qint64, limit);
    QFETCH(bool, ok);
    QFETCH(qint64, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray path;
    if (setup.startsWith("file:")) {
        path = QFile::encodeName(dir.filePath(QStringLiteral("f.bin")));
        QVERIFY(morvane::testsupport::writeFile(QFile::decodeName(path), setup.mid(5)));
    } else if (setup == "missing") {
        path = QFile::encodeName(dir.filePath(QStringLiteral("none.jpg")));
    } else if (setup == "dir") {
        path = QFile::encodeName(dir.path());
    } else {
        path = setup;
    }
    const auto bytes = morvane::imaging::readWholeFile(path, limit);
    QCOMPARE(bytes.has_value(), ok);
    if (ok && size >= 0) {
        QCOMPARE(qint64(bytes->size()), size);
        QCOMPARE(*bytes, setup.mid(5));
    }
    if (ok && size < 0)
        QVERIFY(bytes->contains("Name:"));
}

void TestPictureDecode::fifoDoesNotBlock()
{
    // A fifo where a picture was: opening must not wait for a writer, and it is no file.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("pipe.jpg")));
    QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    QVERIFY(!morvane::imaging::readWholeFile(path, 1 << 20).has_value());
    QCOMPARE(
        morvane::imaging::decodePictureFile(path, morvane::imaging::PictureFormat::Jpeg, 3).status,
        DecodeStatus::ReadError);
}

QTEST_GUILESS_MAIN(TestPictureDecode)
#include "tst_picturedecode.moc"
