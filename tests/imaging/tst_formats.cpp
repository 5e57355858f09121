// SPDX-License-Identifier: GPL-3.0-or-later
// Every picture format on files the Debian tools make at test time (ImageMagick, heif-enc,
// cjxl, exiftool): each decodes with its size and pixels, turned upright as its Exif Orientation
// says (against ImageMagick's -auto-orient), and hostile files of each are no pictures.
#include "browser/listbuilder.h"
#include "imaging/imagedecode.h"
#include "viewer/pictureloader.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>

using morvane::imaging::DecodeResult;
using morvane::imaging::DecodeStatus;
using morvane::imaging::PictureFormat;
using morvane::imaging::ThumbRequest;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// ImageMagick's names of the orientations 1..8.
const char *const kOrientNames[] = {"TopLeft",
    "TopRight",
    "BottomRight",
    "BottomLeft",
    "LeftTop",
    "RightTop",
    "RightBottom",
    "LeftBottom"};

bool run(const QString &program, const QStringList &arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return false;
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

DecodeResult decodeFile(const QString &path, bool upright = true, int box = 0)
{
    const QByteArray native = QFile::encodeName(path);
    return morvane::imaging::decodePictureFile(
        native, morvane::imaging::pictureFormatForName(native), ThumbRequest {0, box, upright});
}

// The mean and largest difference of two images' colour channels; -1 when their sizes differ.
std::pair<double, int> difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return {-1, -1};
    double sum = 0;
    int most = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += std::abs(d);
                most = std::max(most, std::abs(d));
            }
        }
    }
    return {sum / (3.0 * a.width() * a.height()), most};
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodes_data();
    void decodes();
    void upright_data();
    void upright();
    void heifThumbnail();
    void avifTurned_data();
    void avifTurned();
    void targa_data();
    void targa();
    void hostile_data();
    void hostile();
    void listAndViewer();
    void raw_data();
    void raw();

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    // Makes `name` from the base picture (`tool` "convert", "heif-enc" or "cjxl"); skips the
    // row when the tool is missing or cannot write the format here.
    bool make(const QString &name, const QString &tool);

    QTemporaryDir m_dir;
    QImage m_base;
};

void TestFormats::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        QSKIP("ImageMagick's convert is missing (scripts/setup installs it)");
    // A gradient with a white corner block: every turn and mirror of it differs.
    QVERIFY(run(QStringLiteral("convert"),
        {QStringLiteral("-size"),
            QStringLiteral("%1x%2").arg(kWidth).arg(kHeight),
            QStringLiteral("gradient:red-blue"),
            QStringLiteral("-fill"),
            QStringLiteral("white"),
            QStringLiteral("-draw"),
            QStringLiteral("rectangle 0,0 15,7"),
            file(QStringLiteral("base.png"))}));
    // libaom stops on an assertion when heif-enc hands it the 16-bit gradient: the AV1
    // encoders get an 8-bit copy.
    QVERIFY(run(QStringLiteral("convert"),
        {file(QStringLiteral("base.png")),
            QStringLiteral("-depth"),
            QStringLiteral("8"),
            file(QStringLiteral("base8.png"))}));
    QVERIFY(m_base.load(file(QStringLiteral("base.png"))));
    m_base = m_base.convertToFormat(QImage::Format_RGB32);
}

bool TestFormats::make(const QString &name, const QString &tool)
{
    const QString base = file(QStringLiteral("base.png"));
    if (QFile::exists(file(name)))
        return true;
    if (tool == u"heif-enc")
        return run(tool,
            {QStringLiteral("-q"),
                QStringLiteral("95"),
                QStringLiteral("-o"),
                file(name),
                name.endsWith(u".avif") ? file(QStringLiteral("base8.png")) : base});
    if (tool == u"cjxl")
        return run(tool, {base, file(name), QStringLiteral("-d"), QStringLiteral("0")});
    return run(tool, {base, QStringLiteral("-quality"), QStringLiteral("95"), file(name)});
}

void TestFormats::decodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<double>("meanBound"); // lossy formats differ a little from the base
    const struct
    {
        const char *name;
        const char *tool;
        double mean;
    } rows[] = {{"a.png", "convert", 0},
        {"a.GIF", "convert", 12}, // 256 colours
        {"a.webp", "convert", 6},
        {"a.tif", "convert", 0},
        {"a.tiff", "convert", 0},
        {"a.ppm", "convert", 0},
        {"a.pgm", "convert", 255}, // grey: only the size is compared
        {"a.pbm", "convert", 255},
        {"a.jpg", "convert", 4},
        {"a.bmp", "convert", 0},
        {"a.heic", "heif-enc", 6},
        {"a.avif", "heif-enc", 6},
        {"a.jxl", "cjxl", 0}};
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.tool)
                              << r.mean;
}

void TestFormats::decodes()
{
    QFETCH(QString, name);
    QFETCH(QString, tool);
    QFETCH(double, meanBound);
    if (!make(name, tool))
        QSKIP(qPrintable(tool + QStringLiteral(" cannot write ") + name + QStringLiteral(" here")));
    const DecodeResult r = decodeFile(file(name));
    QCOMPARE(r.status, DecodeStatus::Decoded);
    QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), QSize(kWidth, kHeight));
    QCOMPARE(r.picture.image.size(), QSize(kWidth, kHeight));
    const auto [mean, most] =
        difference(r.picture.image.convertToFormat(QImage::Format_RGB32), m_base);
    QVERIFY2(mean >= 0 && mean <= meanBound, qPrintable(QString::number(mean)));
    (void)most;
}

void TestFormats::upright_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<double>("meanBound");
    // "big.tif": ImageMagick's BigTIFF of the JPEG with the Orientation, which it copies.
    for (const char *ext : {"jpg", "png", "webp", "tif", "big.tif"}) {
        for (int o = 1; o <= 8; ++o) {
            const double bound = qstrcmp(ext, "png") == 0 || qstrcmp(ext, "tif") == 0 ? 0 : 6;
            QTest::addRow("%s %d", ext, o) << QString::fromLatin1(ext) << o << bound;
        }
    }
}

void TestFormats::upright()
{
    QFETCH(QString, extension);
    QFETCH(int, orientation);
    QFETCH(double, meanBound);
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
        QSKIP("exiftool is missing (scripts/setup installs it)");
    const QString name = QStringLiteral("o%1.%2").arg(orientation).arg(extension);
    const QString reference = file(QStringLiteral("ref%1.png").arg(orientation));
    const bool big = extension == u"big.tif";
    const QString tagged = big ? QStringLiteral("o%1.jpg").arg(orientation) : name;
    QVERIFY(make(tagged, QStringLiteral("convert")));
    QVERIFY(run(QStringLiteral("exiftool"),
        {QStringLiteral("-q"),
            QStringLiteral("-overwrite_original"),
            QStringLiteral("-Orientation#=%1").arg(orientation),
            file(tagged)}));
    if (big)
        QVERIFY(
            run(QStringLiteral("convert"), {file(tagged), QStringLiteral("TIFF64:") + file(name)}));
    QVERIFY(run(QStringLiteral("convert"),
        {file(QStringLiteral("base.png")),
            QStringLiteral("-orient"),
            QString::fromLatin1(kOrientNames[orientation - 1]),
            QStringLiteral("-auto-orient"),
            reference}));
    QImage expected(reference);
    QVERIFY(!expected.isNull());
    expected = expected.convertToFormat(QImage::Format_RGB32);

    const DecodeResult r = decodeFile(file(name));
    QCOMPARE(r.status, DecodeStatus::Decoded);
    QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), expected.size());
    const auto [mean, most] = difference(r.picture.image, expected);
    QVERIFY2(mean >= 0 && mean <= meanBound,
        qPrintable(QStringLiteral("mean %1, largest %2").arg(mean).arg(most)));

    // Turned off, the picture is as stored.
    const DecodeResult stored = decodeFile(file(name), false);
    QCOMPARE(QSize(stored.picture.fullWidth, stored.picture.fullHeight), QSize(kWidth, kHeight));
}

void TestFormats::heifThumbnail()
{
    const QString name = QStringLiteral("thumbed.heic");
    if (!run(QStringLiteral("heif-enc"),
            {QStringLiteral("-t"),
                QStringLiteral("32"),
                QStringLiteral("-o"),
                file(name),
                file(QStringLiteral("base.png"))}))
        QSKIP("heif-enc is missing (scripts/setup installs libheif-examples)");
    // A box the thumbnail reaches takes the thumbnail; a larger one the primary image. The
    // full size is the primary image's either way.
    for (const auto &[box, side] : {std::pair {24, 32}, std::pair {32, 32}, std::pair {48, 64}}) {
        const DecodeResult r = decodeFile(file(name), true, box);
        QCOMPARE(r.status, DecodeStatus::Decoded);
        QCOMPARE(std::max(r.picture.image.width(), r.picture.image.height()), side);
        QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), QSize(kWidth, kHeight));
    }
}

void TestFormats::avifTurned_data()
{
    QTest::addColumn<QString>("source"); // what avifenc reads
    QTest::addColumn<int>("irot"); // avifenc's --irot: quarter turns anticlockwise
    QTest::addColumn<int>("rotate"); // ImageMagick's -rotate (degrees clockwise) of the reference
    QTest::newRow("turned a quarter anticlockwise") << QStringLiteral("base8.png") << 1 << -90;
    QTest::newRow("turned half") << QStringLiteral("base8.png") << 2 << 180;
    QTest::newRow("turned three quarters anticlockwise") << QStringLiteral("base8.png") << 3 << 90;
    // avifenc turns the JPEG's Orientation 6 into the container's rotation and keeps the Exif
    // (with its Orientation 6): it must not be applied a second time.
    QTest::newRow("from a JPEG of Orientation 6") << QStringLiteral("o6.jpg") << 0 << 90;
}

void TestFormats::avifTurned()
{
    QFETCH(QString, source);
    QFETCH(int, irot);
    QFETCH(int, rotate);
    if (QStandardPaths::findExecutable(QStringLiteral("avifenc")).isEmpty())
        QSKIP("avifenc is missing (scripts/setup installs libavif-bin)");
    if (source == u"o6.jpg") {
        QVERIFY(make(source, QStringLiteral("convert")));
        QVERIFY(run(QStringLiteral("exiftool"),
            {QStringLiteral("-q"),
                QStringLiteral("-overwrite_original"),
                QStringLiteral("-Orientation#=6"),
                file(source)}));
    }
    const QString name = file(QStringLiteral("turned%1.avif").arg(irot));
    QStringList args = {QStringLiteral("-s"),
        QStringLiteral("10"),
        QStringLiteral("--min"),
        QStringLiteral("0"),
        QStringLiteral("--max"),
        QStringLiteral("10")};
    if (irot > 0)
        args << QStringLiteral("--irot") << QString::number(irot);
    QVERIFY(run(QStringLiteral("avifenc"), args + QStringList {file(source), name}));
    const QString reference = file(QStringLiteral("avifref.png"));
    QVERIFY(run(QStringLiteral("convert"),
        {file(QStringLiteral("base8.png")),
            QStringLiteral("-rotate"),
            QString::number(rotate),
            reference}));
    const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
    const DecodeResult r = decodeFile(name);
    QCOMPARE(r.status, DecodeStatus::Decoded);
    QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), expected.size());
    const auto [mean, most] =
        difference(r.picture.image.convertToFormat(QImage::Format_RGB32), expected);
    QVERIFY2(mean >= 0 && mean <= 6,
        qPrintable(QStringLiteral("mean %1, largest %2").arg(mean).arg(most)));
}

void TestFormats::targa_data()
{
    QTest::addColumn<QString>("options"); // ImageMagick's options for both the TGA and the PNG
    QTest::addColumn<bool>("footer"); // the later revision's footer appended
    const struct
    {
        const char *name;
        const char *options;
        bool footer;
    } rows[] = {{"true colour from the bottom", "", false},
        {"true colour with footer", "", true},
        {"true colour from the top", "-orient TopLeft", false},
        {"runs", "-compress RLE", false},
        {"runs from the top, footer", "-orient TopLeft -compress RLE", true},
        {"grey", "-colorspace Gray", false},
        {"grey runs", "-colorspace Gray -compress RLE", false},
        {"colour-mapped", "-colors 16 -type Palette", false},
        {"colour-mapped runs", "-colors 16 -type Palette -compress RLE", false},
        {"with alpha", "-alpha set -channel A -fx 0.25+0.5*i/w", false}};
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromLatin1(r.options) << r.footer;
}

void TestFormats::targa()
{
    QFETCH(QString, options);
    QFETCH(bool, footer);
    // The TGA against ImageMagick's reading of it, turned to its origin, as a PNG.
    const QString name = file(QStringLiteral("t.tga"));
    const QString reference = file(QStringLiteral("t.png"));
    QVERIFY(run(QStringLiteral("convert"),
        QStringList {
            file(QStringLiteral("base.png")), QStringLiteral("-depth"), QStringLiteral("8")}
            + options.split(u' ', Qt::SkipEmptyParts) + QStringList {name}));
    QVERIFY(run(QStringLiteral("convert"), {name, QStringLiteral("-auto-orient"), reference}));
    if (footer) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::Append));
        f.write(QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18));
    }
    const QImage expected(reference);
    QVERIFY(!expected.isNull());
    const DecodeResult r = decodeFile(name);
    QCOMPARE(r.status, DecodeStatus::Decoded);
    QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), QSize(kWidth, kHeight));
    QCOMPARE(r.picture.image.hasAlphaChannel(), expected.hasAlphaChannel());
    const QImage::Format premultiplied = QImage::Format_ARGB32_Premultiplied;
    const QImage ours = r.picture.image.convertToFormat(premultiplied);
    const QImage theirs = expected.convertToFormat(premultiplied);
    const auto [mean, most] = difference(ours, theirs);
    QVERIFY2(most == 0, qPrintable(QStringLiteral("mean %1, largest %2").arg(mean).arg(most)));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            QCOMPARE(qAlpha(ours.pixel(x, y)), qAlpha(theirs.pixel(x, y)));
    }
}

void TestFormats::hostile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QByteArray>("content"); // empty: the made file, cut to `keep` bytes
    QTest::addColumn<int>("keep"); // bytes of the made file kept (-1: all, then `content` added)
    const char *const made[][2] = {{"h.png", "convert"},
        {"h.gif", "convert"},
        {"h.webp", "convert"},
        {"h.tif", "convert"},
        {"h.tga", "convert"},
        {"h.heic", "heif-enc"},
        {"h.avif", "heif-enc"},
        {"h.jxl", "cjxl"}};
    for (const auto &m : made) {
        for (const int keep : {0, 8, 40, 200}) {
            QTest::addRow("%s cut to %d", m[0], keep)
                << QString::fromLatin1(m[0]) << QString::fromLatin1(m[1]) << QByteArray() << keep;
        }
        QTest::addRow("%s holding text", m[0])
            << QString::fromLatin1(m[0]) << QString() << QByteArray("not a picture\n") << 0;
    }
    QTest::newRow("ppm of 100000 x 100000") << QStringLiteral("big.ppm") << QString()
                                            << QByteArray("P6\n100000 100000\n255\n\1\2\3") << 0;
    QTest::newRow("ppm of 0 x 5") << QStringLiteral("zero.ppm") << QString()
                                  << QByteArray("P6\n0 5\n255\n\1\2\3") << 0;
    QTest::newRow("gif of 65535 x 65535")
        << QStringLiteral("big.gif") << QString()
        << QByteArray("GIF89a\xff\xff\xff\xff\x00\x00\x00\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00"
                      "\x02\x02\x44\x01\x00\x3b",
               30)
        << 0;
    QTest::newRow("tga of 65535 x 65535")
        << QStringLiteral("big.tga") << QString()
        << QByteArray("\0\0\x0a\0\0\0\0\0\0\0\0\0\xff\xff\xff\xff\x18\0\xff\1\2\3", 22) << 0;
    QTest::newRow("dng holding text")
        << QStringLiteral("h.dng") << QString() << QByteArray("II*\0not a camera file", 20) << 0;
    QTest::newRow("cr2 of zeros") << QStringLiteral("h.cr2") << QString() << QByteArray(4096, '\0')
                                  << 0;
}

void TestFormats::hostile()
{
    QFETCH(QString, name);
    QFETCH(QString, tool);
    QFETCH(QByteArray, content);
    QFETCH(int, keep);
    QByteArray bytes = content;
    if (!tool.isEmpty()) {
        const QString whole = QStringLiteral("whole-") + name;
        if (!make(whole, tool))
            QSKIP(qPrintable(
                tool + QStringLiteral(" cannot write ") + name + QStringLiteral(" here")));
        QFile f(file(whole));
        QVERIFY(f.open(QIODevice::ReadOnly));
        bytes = f.readAll().left(keep);
    }
    QFile out(file(name));
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(out.write(bytes), bytes.size());
    out.close();
    const DecodeStatus status = decodeFile(file(name)).status;
    QVERIFY2(status == DecodeStatus::NotPicture || status == DecodeStatus::TooLarge,
        qPrintable(QString::number(int(status))));
    QVERIFY(!morvane::loadPictureFile(QFile::encodeName(file(name))).ok());
}

void TestFormats::listAndViewer()
{
    // One folder: a picture of each format, a portrait JPEG (Orientation 6) and a .png holding
    // text. The list counts the pictures with their upright sizes, the viewer's loader gives
    // the same sizes.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QStringList names = {QStringLiteral("a.png"),
        QStringLiteral("a.GIF"),
        QStringLiteral("a.webp"),
        QStringLiteral("a.tif"),
        QStringLiteral("a.ppm"),
        QStringLiteral("a.heic"),
        QStringLiteral("a.jxl")};
    for (const QString &n : names) {
        if (!make(n,
                n.endsWith(u"heic")      ? QStringLiteral("heif-enc")
                    : n.endsWith(u"jxl") ? QStringLiteral("cjxl")
                                         : QStringLiteral("convert")))
            QSKIP(qPrintable(QStringLiteral("cannot make ") + n));
        QVERIFY(QFile::copy(file(n), folder.filePath(n)));
    }
    QVERIFY(make(QStringLiteral("p.jpg"), QStringLiteral("convert")));
    QVERIFY(run(QStringLiteral("exiftool"),
        {QStringLiteral("-q"),
            QStringLiteral("-overwrite_original"),
            QStringLiteral("-Orientation#=6"),
            file(QStringLiteral("p.jpg"))}));
    QVERIFY(QFile::copy(file(QStringLiteral("p.jpg")), folder.filePath(QStringLiteral("p.jpg"))));
    QFile text(folder.filePath(QStringLiteral("text.png")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("hello") == 5);
    text.close();

    for (const bool upright : {true, false}) {
        morvane::browser::ListBuilder builder;
        morvane::browser::ListBuildOptions options;
        options.boxSize = 48;
        options.threads = 1;
        options.autoRotate = upright;
        QMap<QString, QString> facts;
        const auto result =
            builder.build(QFile::encodeName(folder.path()), options, [&](morvane::ListEntry &&e) {
                facts[e.caption] = e.isPicture() ? e.record.value(morvane::WidthField) + u'x'
                        + e.record.value(morvane::HeightField)
                                                 : QString();
            });
        QCOMPARE(result.pictures, names.size() + 1);
        QCOMPARE(result.others, 1);
        QCOMPARE(facts.value(QStringLiteral("text.png")), QString());
        QCOMPARE(facts.value(QStringLiteral("p.jpg")),
            upright ? QStringLiteral("48x64") : QStringLiteral("64x48"));
        for (const QString &n : names)
            QCOMPARE(facts.value(n), QStringLiteral("64x48"));
    }
    const morvane::LoadedPicture shown = morvane::loadPictureFile(
        QFile::encodeName(folder.filePath(QStringLiteral("p.jpg"))), QSize(24, 32));
    QCOMPARE(shown.fullSize, QSize(48, 64));
    QCOMPARE(shown.scaled.size(), QSize(24, 32));
    for (const QString &n : names)
        QCOMPARE(morvane::loadPictureFile(QFile::encodeName(folder.filePath(n))).fullSize,
            QSize(kWidth, kHeight));
}

namespace {

// A little-endian TIFF directory entry: tag, type (1 BYTE, 2 ASCII, 3 SHORT, 4 LONG), count
// and the value's bytes.
struct TiffEntry
{
    quint16 tag;
    quint16 type;
    quint32 count;
    QByteArray value;
};

QByteArray le(quint32 v, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
    return out;
}

TiffEntry shortEntry(quint16 tag, std::initializer_list<quint32> values)
{
    QByteArray bytes;
    for (const quint32 v : values)
        bytes += le(v, 2);
    return {tag, 3, quint32(values.size()), bytes};
}

TiffEntry longEntry(quint16 tag, quint32 value)
{
    return {tag, 4, 1, le(value, 4)};
}

// Appends a directory of `entries` (in tag order) and its out-of-line values to `file`;
// returns its offset.
quint32 appendIfd(QByteArray &file, const std::vector<TiffEntry> &entries)
{
    if (file.size() % 2 != 0)
        file.append('\0');
    const auto at = quint32(file.size());
    quint32 data = at + 2 + 12 * quint32(entries.size()) + 4;
    QByteArray tail;
    file += le(quint32(entries.size()), 2);
    for (const TiffEntry &e : entries) {
        file += le(e.tag, 2) + le(e.type, 2) + le(e.count, 4);
        if (e.value.size() <= 4) {
            file += e.value + QByteArray(4 - e.value.size(), '\0');
        } else {
            file += le(data + quint32(tail.size()), 4);
            tail += e.value;
            if (tail.size() % 2 != 0)
                tail.append('\0');
        }
    }
    file += le(0, 4) + tail;
    return at;
}

// A DNG of a 128 x 96 sensor (16-bit Bayer data) with a JPEG preview in its first directory and
// the Orientation `orientation` there.
QByteArray dngWithPreview(const QByteArray &jpeg, QSize preview, int orientation)
{
    QByteArray file = "II*\0" + le(0, 4);
    const auto jpegAt = quint32(file.size());
    file += jpeg;
    if (file.size() % 2 != 0)
        file.append('\0');
    const int rawWidth = 128;
    const int rawHeight = 96;
    const auto rawAt = quint32(file.size());
    for (int i = 0; i < rawWidth * rawHeight; ++i)
        file += le(quint32((i * 37) % 4096), 2);
    const quint32 rawIfd = appendIfd(file,
        {longEntry(254, 0),
            longEntry(256, rawWidth),
            longEntry(257, rawHeight),
            shortEntry(258, {16}),
            shortEntry(259, {1}),
            shortEntry(262, {32803}),
            longEntry(273, rawAt),
            shortEntry(277, {1}),
            longEntry(278, rawHeight),
            longEntry(279, quint32(rawWidth * rawHeight * 2)),
            shortEntry(33421, {2, 2}),
            {33422, 1, 4, QByteArray("\0\1\1\2", 4)}});
    const QByteArray model("Morvane DNG\0", 12);
    const quint32 ifd0 = appendIfd(file,
        {longEntry(254, 1),
            longEntry(256, quint32(preview.width())),
            longEntry(257, quint32(preview.height())),
            shortEntry(258, {8, 8, 8}),
            shortEntry(259, {7}),
            shortEntry(262, {6}),
            {271, 2, 8, QByteArray("Morvane\0", 8)},
            {272, 2, quint32(model.size()), model},
            longEntry(273, jpegAt),
            shortEntry(274, {quint32(orientation)}),
            shortEntry(277, {3}),
            longEntry(279, quint32(jpeg.size())),
            longEntry(330, rawIfd),
            {50706, 1, 4, QByteArray("\1\4\0\0", 4)},
            {50708, 2, quint32(model.size()), model}});
    file.replace(4, 4, le(ifd0, 4));
    return file;
}

} // namespace

void TestFormats::raw_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("upright");
    QTest::addColumn<QSize>("full"); // the sensor's size as shown
    QTest::addColumn<QSize>("drawn"); // the preview as shown
    QTest::newRow("as stored") << 1 << true << QSize(128, 96) << QSize(kWidth, kHeight);
    QTest::newRow("turned clockwise") << 6 << true << QSize(96, 128) << QSize(kHeight, kWidth);
    QTest::newRow("turned anticlockwise") << 8 << true << QSize(96, 128) << QSize(kHeight, kWidth);
    QTest::newRow("turned, option off") << 6 << false << QSize(128, 96) << QSize(kWidth, kHeight);
}

void TestFormats::raw()
{
    QFETCH(int, orientation);
    QFETCH(bool, upright);
    QFETCH(QSize, full);
    QFETCH(QSize, drawn);
    QVERIFY(make(QStringLiteral("preview.jpg"), QStringLiteral("convert")));
    QFile jpeg(file(QStringLiteral("preview.jpg")));
    QVERIFY(jpeg.open(QIODevice::ReadOnly));
    const QString name = QStringLiteral("r%1.DNG").arg(orientation);
    QFile out(file(name));
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray dng = dngWithPreview(jpeg.readAll(), QSize(kWidth, kHeight), orientation);
    out.write(dng);
    out.close();

    // Cut before its directories, the file is no picture (and nothing breaks).
    for (const qsizetype keep : {qsizetype(8), qsizetype(100), dng.size() / 2}) {
        QFile cut(file(QStringLiteral("cut.dng")));
        QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cut.write(dng.left(keep));
        cut.close();
        QCOMPARE(decodeFile(cut.fileName()).status, DecodeStatus::NotPicture);
    }

    const DecodeResult r = decodeFile(file(name), upright);
    QCOMPARE(r.status, DecodeStatus::Decoded);
    QCOMPARE(QSize(r.picture.fullWidth, r.picture.fullHeight), full);
    QCOMPARE(r.picture.image.size(), drawn);
    // The preview turned as the base picture turned by ImageMagick.
    QImage expected = m_base;
    if (upright && orientation > 1) {
        const QString reference = file(QStringLiteral("rawref%1.png").arg(orientation));
        QVERIFY(run(QStringLiteral("convert"),
            {file(QStringLiteral("base.png")),
                QStringLiteral("-orient"),
                QString::fromLatin1(kOrientNames[orientation - 1]),
                QStringLiteral("-auto-orient"),
                reference}));
        expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
    }
    const auto [mean, most] = difference(r.picture.image, expected);
    QVERIFY2(mean >= 0 && mean <= 4,
        qPrintable(QStringLiteral("mean %1, largest %2").arg(mean).arg(most)));
    // The viewer draws the preview at its own size.
    QCOMPARE(
        morvane::loadPictureFile(QFile::encodeName(file(name)), {}, {}, upright).fullSize, drawn);
}

QTEST_MAIN(TestFormats)
#include "tst_formats.moc"
