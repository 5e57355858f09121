// SPDX-License-Identifier: GPL-3.0-or-later
// The list builder on real folders: the fit and draw rules through decoded files, other files
// with their type icon, files that cannot be read, what the enumeration lists, the byte sum and
// date text, and the decoding pool giving exactly the single-thread list.
#include "browser/listbuilder.h"
#include "browser/livedecoder.h"
#include "browser/thumbcache.h"
#include "browser/typeboxes.h"
#include "platform/fileicons.h"
#include "platform/folderscan.h"
#include "support/imagecheck.h"
#include "support/imagefixtures.h"
#include "support/tempfolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using morvane::ListEntry;
using morvane::browser::ListBuilder;
using morvane::browser::ListBuildOptions;
using morvane::browser::ListBuildResult;
using morvane::browser::ThumbCache;
using morvane::browser::TypeBoxes;
using morvane::testsupport::Coverage;
using morvane::testsupport::coverage;
using morvane::testsupport::JpegColour;

namespace {

struct Built
{
    ListBuildResult result;
    std::vector<ListEntry> items;
};

Built buildFolder(const QString &folder,
    int box,
    int scale,
    int threads,
    ListBuilder::PictureDecoder decoder = {},
    std::int64_t budget = ListBuildOptions().decodeMemoryBudget,
    ThumbCache *cache = nullptr,
    bool readCache = true,
    double ratio = 1.0)
{
    ListBuilder builder(std::move(decoder));
    Built built;
    ListBuildOptions options;
    options.boxSize = box;
    options.jpegScale = scale;
    options.threads = threads;
    options.decodeMemoryBudget = budget;
    options.cache = cache;
    options.readCache = readCache;
    options.devicePixelRatio = ratio;
    built.result = builder.build(QFile::encodeName(folder), options, [&built](ListEntry &&e) {
        built.items.push_back(std::move(e));
    });
    return built;
}

const ListEntry *find(const Built &built, const QString &caption)
{
    for (const ListEntry &e : built.items) {
        if (e.caption == caption)
            return &e;
    }
    return nullptr;
}

bool writeJpeg(const QString &path,
    int w,
    int h,
    bool progressive = false,
    JpegColour colour = JpegColour::Rgb)
{
    const bool cmyk = colour == JpegColour::Cmyk;
    const unsigned char magenta = cmyk ? 200 : 60;
    const unsigned char black = cmyk ? 60 : 0;
    return morvane::testsupport::writeFile(path,
        morvane::testsupport::jpegBytes({.width = w,
            .height = h,
            .colour = colour,
            .progressive = progressive,
            .c1 = magenta,
            .c3 = black}));
}

// Two builds gave the same list: the same items in the same order, byte for byte, and the same
// counts and failure.
void compareBuilds(const Built &got, const Built &want)
{
    QCOMPARE(got.items.size(), want.items.size());
    for (std::size_t i = 0; i < want.items.size(); ++i) {
        QCOMPARE(got.items[i].nativeName, want.items[i].nativeName);
        QCOMPARE(got.items[i].caption, want.items[i].caption);
        QCOMPARE(got.items[i].record, want.items[i].record);
        const QImage a = got.items[i].thumb.box();
        const QImage b = want.items[i].thumb.box();
        QCOMPARE(a.format(), b.format());
        QCOMPARE(a.size(), b.size());
        QVERIFY(
            std::memcmp(a.constBits(), b.constBits(), static_cast<size_t>(a.sizeInBytes())) == 0);
    }
    QCOMPARE(got.result.pictures, want.result.pictures);
    QCOMPARE(got.result.bytes, want.result.bytes);
    QCOMPARE(got.result.completed, want.result.completed);
    QCOMPARE(got.result.failure, want.result.failure);
}

// The platform's decoders, counting the decodes.
// Counts decodes and the threads they ran on.
struct CountingDecoder
{
    std::shared_ptr<std::atomic<int>> decodes = std::make_shared<std::atomic<int>>(0);
    struct Threads
    {
        std::mutex mutex;
        std::set<std::thread::id> ids;
    };
    std::shared_ptr<Threads> threads = std::make_shared<Threads>();
    morvane::imaging::DecodeResult operator()(const QByteArray &path,
        morvane::imaging::PictureFormat format,
        const morvane::imaging::ThumbRequest &request,
        const morvane::imaging::MemoryGate &gate) const
    {
        ++*decodes;
        {
            const std::lock_guard lock(threads->mutex);
            threads->ids.insert(std::this_thread::get_id());
        }
        return morvane::imaging::decodePictureFile(path, format, request, gate);
    }
};

// Stands in for a machine short of memory: the decode of a file whose name starts with "big"
// fails on every thread but the one that called build(), which decodes only while nothing else
// does; with `always` it fails there too. It fails by returning NoMemory or by throwing.
struct ShortOfMemory
{
    enum How { Returns, ThrowsBadAlloc, ThrowsOther };
    How how = Returns;
    bool always = false;
    std::atomic<int> inFlight {0}; // decodes that went on
    std::atomic<int> failedBeside {0}; // failures of decodes that ran beside others
    std::atomic<int> crowded {0}; // decodes of a big file meant to run alone beside another

    // A decode beside others asks the budget's gate; one alone (a build on one thread, or the
    // second try) has none.
    morvane::imaging::DecodeResult decode(const QByteArray &path,
        morvane::imaging::PictureFormat format,
        const morvane::imaging::ThumbRequest &request,
        const morvane::imaging::MemoryGate &gate)
    {
        const bool alone = !gate;
        if (path.mid(path.lastIndexOf('/') + 1).startsWith("big")) {
            if (alone && inFlight.load() > 0)
                ++crowded;
            if (!alone || always) {
                if (!alone)
                    ++failedBeside;
                if (how == ThrowsBadAlloc)
                    throw std::bad_alloc();
                if (how == ThrowsOther)
                    throw std::runtime_error("decoder broke");
                return {morvane::imaging::DecodeStatus::NoMemory, {}};
            }
        }
        ++inFlight;
        auto result = morvane::imaging::decodePictureFile(path, format, request, gate);
        --inFlight;
        return result;
    }
};

// The boxes the main window's live decoder gives for the pictures of `dir` on two threads, in
// the order they came, up to the first that ends the build.
std::vector<morvane::browser::LiveBox> liveDecode(
    const QString &dir, const ListBuilder::PictureDecoder &decoder)
{
    using morvane::browser::LiveBox;
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    morvane::browser::LiveDecoder live(decoder, 2, [&] {
        const std::lock_guard lock(mutex);
        wake = true;
        woken.notify_all();
    });
    std::vector<morvane::browser::LiveJob> jobs;
    for (const auto &e : morvane::platform::scanFolder(QFile::encodeName(dir))) {
        const auto format = morvane::imaging::pictureFormatForName(e.nativeName);
        if (format != morvane::imaging::PictureFormat::None)
            jobs.push_back(
                {jobs.size() + 1, e.nativeName, format, {e.size, e.mtimeNs, e.ctimeNs, e.inode}});
    }
    const std::size_t count = jobs.size();
    morvane::browser::LiveDecoder::Options options;
    options.folder = QFile::encodeName(dir);
    live.start(options, std::move(jobs));
    std::vector<LiveBox> boxes;
    while (boxes.size() < count) {
        std::unique_lock lock(mutex);
        if (!woken.wait_for(lock, std::chrono::seconds(30), [&] {
                return wake;
            }))
            break;
        wake = false;
        lock.unlock();
        for (LiveBox &box : live.takeBoxes()) {
            boxes.push_back(std::move(box));
            if (boxes.back().outcome == LiveBox::Outcome::NoMemory
                || boxes.back().outcome == LiveBox::Outcome::Failed)
                return boxes;
        }
    }
    return boxes;
}

} // namespace

class TestListBuilder : public QObject
{
    Q_OBJECT

private slots:
    void picturesFit_data();
    void picturesFit();
    void otherFiles_data();
    void otherFiles();
    void unreadableForAnotherUser();
    void typeIconsFollowTheMimeType();
    void typesLookedUpAheadGiveTheSameBoxes();
    void enumerationChoosesFiles();
    void recordAndSums();
    void poolMatchesSingleThread_data();
    void poolMatchesSingleThread();
    void cacheNoticesChanges_data();
    void cacheNoticesChanges();
    void cacheKeepsTheRecentEntriesWithinItsLimit();
    void deviceBoxesKeyTheCache_data();
    void deviceBoxesKeyTheCache();
    void decodeFailuresGiveTheSingleThreadList_data();
    void decodeFailuresGiveTheSingleThreadList();
    void decodesAheadStayWithinTheBudget();
    void callbackExceptionEndsBuild_data();
    void callbackExceptionEndsBuild();
    void nestedBuildRefused();
    void badBoxSizeRefused();
    void unreadableFolderIsEmpty();
};

void TestListBuilder::picturesFit_data()
{
    QTest::addColumn<QString>("kind"); // jpeg, progressive, cmyk, grey, bmp, ico
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("drawn"); // hand-worked from the fit rule
    // 1600 x 1200 at 1/8 decodes to 200 x 150; 48 wide, (150*1000) div ((200*1000) div 48) = 36.
    QTest::newRow("jpeg 1600x1200 box 48 eighth")
        << "jpeg" << QSize(1600, 1200) << 48 << 3 << QSize(48, 36);
    QTest::newRow("progressive 1600x1200 box 48 eighth")
        << "progressive" << QSize(1600, 1200) << 48 << 3 << QSize(48, 36);
    QTest::newRow("cmyk 1600x1200 box 48 eighth")
        << "cmyk" << QSize(1600, 1200) << 48 << 3 << QSize(48, 36);
    QTest::newRow("grey 1200x1600 box 64 quarter")
        << "grey" << QSize(1200, 1600) << 64 << 2 << QSize(48, 64);
    // 1200 x 1600: 48 high, (1200*1000) div ((1600*1000) div 48 = 33333) = 36.
    QTest::newRow("bitmap 1200x1600 box 48")
        << "bmp" << QSize(1200, 1600) << 48 << 3 << QSize(36, 48);
    QTest::newRow("jpeg 100x100 box 48 full")
        << "jpeg" << QSize(100, 100) << 48 << 0 << QSize(48, 48);
    QTest::newRow("bitmap 100x100 box 48") << "bmp" << QSize(100, 100) << 48 << 3 << QSize(48, 48);
    QTest::newRow("bitmap 16x16 box 320 enlarged")
        << "bmp" << QSize(16, 16) << 320 << 3 << QSize(320, 320);
    // An icon keeps its own size at 0, 0 whatever the fit would say.
    QTest::newRow("icon 32 box 128") << "ico" << QSize(32, 32) << 128 << 3 << QSize(32, 32);
    QTest::newRow("icon 48 box 32 clipped") << "ico" << QSize(48, 48) << 32 << 3 << QSize(32, 32);
}

void TestListBuilder::picturesFit()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(int, box);
    QFETCH(int, scale);
    QFETCH(QSize, drawn);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ext = kind == "bmp" ? "bmp" : kind == "ico" ? "ico" : "jpg";
    const QString path = dir.filePath("picture." + ext);
    bool written = false;
    if (kind == "bmp") {
        written = morvane::testsupport::writeFile(
            path, morvane::testsupport::bmpBytes(size.width(), size.height(), 20, 40, 160));
    } else if (kind == "ico") {
        written = morvane::testsupport::writeFile(
            path, morvane::testsupport::icoBytes(size.width(), 200, 0, 0, 255));
    } else {
        written = writeJpeg(path,
            size.width(),
            size.height(),
            kind == "progressive",
            kind == "cmyk"       ? JpegColour::Cmyk
                : kind == "grey" ? JpegColour::Grey
                                 : JpegColour::Rgb);
    }
    QVERIFY(written);

    for (int threads : {1, 2}) {
        const Built built = buildFolder(dir.path(), box, scale, threads);
        QVERIFY(built.result.completed);
        QCOMPARE(built.items.size(), std::size_t(1));
        const ListEntry &e = built.items.front();
        QCOMPARE(e.record.value(0), QStringLiteral("0"));
        QCOMPARE(e.record.value(3), QString::number(size.width()));
        QCOMPARE(e.record.value(4), QString::number(size.height()));
        const QImage image = e.thumb.box();
        QCOMPARE(image.size(), QSize(box, box));
        const Coverage c = coverage(image, QRect(QPoint(0, 0), drawn));
        QCOMPARE(c.insideWhite, 0);
        QCOMPARE(c.insideColoured, drawn.width() * drawn.height());
        QCOMPARE(c.outsideColoured, 0);
        QCOMPARE(built.result.pictures, 1);
        QCOMPARE(built.result.others, 0);
    }
}

void TestListBuilder::otherFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("box");
    const QByteArray jpeg = morvane::testsupport::jpegBytes({.width = 400, .height = 300});
    QTest::newRow("text file") << "notes.txt" << QByteArray("hello\n") << 48;
    QTest::newRow("jpg holding no JPEG") << "fake.jpg" << QByteArray("plain text") << 48;
    QTest::newRow("truncated JPEG") << "cut.JPG" << jpeg.left(jpeg.size() / 2) << 64;
    QTest::newRow("zero-byte jpeg") << "empty.jpeg" << QByteArray() << 48;
    QTest::newRow("bmp holding a JPEG") << "photo.bmp" << jpeg << 96;
    QTest::newRow("ico holding text") << "broken.ico" << QByteArray("not an icon") << 48;
    QTest::newRow("metafile") << "drawing.wmf" << QByteArray("\xD7\xCD\xC6\x9A", 4) << 48;
    QTest::newRow("no extension, box 32 puts the icon at 0,0") << "README" << QByteArray("x") << 32;
    QTest::newRow("box 320") << "data.bin" << QByteArray("\x01\x02", 2) << 320;
}

void TestListBuilder::otherFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, box);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(morvane::testsupport::writeFile(dir.filePath(name), content));
    const Built built = buildFolder(dir.path(), box, 3, 1);
    QVERIFY(built.result.completed);
    QCOMPARE(built.items.size(), std::size_t(1));
    const ListEntry &e = built.items.front();
    QCOMPARE(e.caption, name);
    QCOMPARE(e.record.size(), 5);
    QCOMPARE(e.record.value(0), QStringLiteral("1"));
    QCOMPARE(e.record.value(1), QString::number(content.size()));
    QVERIFY(e.record.value(3).isEmpty());
    QVERIFY(e.record.value(4).isEmpty());
    const QImage image = e.thumb.box();
    QCOMPARE(image.size(), QSize(box, box));
    const int at = box / 2 - 16;
    const Coverage c = coverage(image, QRect(at, at, 32, 32));
    QVERIFY2(c.insideColoured > 0, "the type icon is drawn in the 32 x 32 square");
    QCOMPARE(c.outsideColoured, 0);
    QCOMPARE(built.result.others, 1);
    QCOMPARE(built.result.pictures, 0);
}

void TestListBuilder::unreadableForAnotherUser()
{
    // A picture that cannot be opened is an other file and the build goes on. As root nothing
    // is unreadable, so the build runs as another user while the picture's mode is 000; a
    // picture whose read fails (the address space at offset 0) is listed beside it.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString locked = dir.filePath("locked.jpg");
    QVERIFY(writeJpeg(locked, 64, 48));
    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0) == 0);
    QVERIFY(QFile::link("/proc/self/mem", dir.filePath("memory.jpg")));
    QVERIFY(writeJpeg(dir.filePath("open.jpg"), 64, 48));

    const bool root = ::geteuid() == 0;
    if (root)
        QVERIFY(::seteuid(65534) == 0);
    const Built built = buildFolder(dir.path(), 48, 3, 2);
    if (root)
        QVERIFY(::seteuid(0) == 0);

    QVERIFY(built.result.completed);
    QCOMPARE(built.items.size(), std::size_t(3));
    QVERIFY(find(built, "locked.jpg") && find(built, "memory.jpg") && find(built, "open.jpg"));
    QCOMPARE(find(built, "locked.jpg")->record.value(0), QStringLiteral("1"));
    QCOMPARE(find(built, "memory.jpg")->record.value(0), QStringLiteral("1"));
    QCOMPARE(find(built, "open.jpg")->record.value(0), QStringLiteral("0"));
}

void TestListBuilder::typeIconsFollowTheMimeType()
{
    // Boxes come from the icon theme by MIME type: two text files share one picture, a text
    // file and a broken JPEG (an image type) do not. Without a theme every type would show the
    // same generic sheet.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("a.txt"), "a"));
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("b.txt"), "bb"));
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("c.jpg"), "no picture"));
    const Built built = buildFolder(dir.path(), 48, 3, 1);
    QCOMPARE(built.items.size(), std::size_t(3));
    const auto boxKey = [&built](const char *caption) {
        return find(built, caption)->thumb.box().cacheKey();
    };
    QCOMPARE(boxKey("a.txt"), boxKey("b.txt"));
    QVERIFY(boxKey("a.txt") != boxKey("c.jpg"));
}

void TestListBuilder::typesLookedUpAheadGiveTheSameBoxes()
{
    const auto icons = std::make_shared<morvane::platform::FileIcons>();
    const QStringList names {"a.txt", "b.pdf", "c.mp3", "Makefile", "d.tar.gz", "e"};
    TypeBoxes ahead(icons, 48);
    ahead.lookUpAhead(names);
    QTest::qWait(100); // most likely all looked up by the thread; the boxes agree either way
    TypeBoxes drawn(icons, 48);
    for (const QString &name : names)
        QCOMPARE(ahead.box(name), drawn.box(name));
    // A set of boxes that goes while it looks up stops its thread and waits for it.
    auto busy = std::make_unique<TypeBoxes>(icons, 48);
    busy->lookUpAhead(QStringList(100000, QStringLiteral("x.txt")));
    busy.reset();
}

void TestListBuilder::enumerationChoosesFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(morvane::testsupport::writeFile(dir.filePath(".hidden"), "h"));
    QVERIFY(writeJpeg(dir.filePath(".hidden.jpg"), 32, 32));
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("plain.txt"), "p"));
    QVERIFY(QDir(dir.path()).mkdir("subfolder"));
    QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.jpg")).constData(), 0644) == 0);
    QVERIFY(QFile::link(dir.filePath("plain.txt"), dir.filePath("link.txt")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling.jpg")));

    const Built built = buildFolder(dir.path(), 48, 3, 2);
    QStringList captions;
    for (const ListEntry &e : built.items)
        captions << e.caption;
    captions.sort();
    QCOMPARE(captions, QStringList({".hidden", ".hidden.jpg", "link.txt", "plain.txt"}));
    QCOMPARE(find(built, ".hidden.jpg")->record.value(0), QStringLiteral("0"));
}

void TestListBuilder::recordAndSums()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeJpeg(dir.filePath("a.jpg"), 300, 200));
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("b.txt"), QByteArray(1234, 'x')));
    QVERIFY(morvane::testsupport::writeFile(
        dir.filePath("c.bmp"), morvane::testsupport::bmpBytes(10, 10, 1, 2, 3)));
    // Seconds are cut to the two-second stamp; midnight shows the date alone.
    QVERIFY(morvane::test::setModified(
        QFile::encodeName(dir.filePath("a.jpg")), 2004, 5, 12, 9, 5, 31));
    QVERIFY(morvane::test::setModified(
        QFile::encodeName(dir.filePath("b.txt")), 2019, 12, 31, 0, 0, 1));
    QVERIFY(morvane::test::setModified(
        QFile::encodeName(dir.filePath("c.bmp")), 1999, 1, 2, 23, 59, 58));

    const Built built = buildFolder(dir.path(), 48, 3, 1);
    QVERIFY(built.result.completed);
    const qint64 jpegSize = QFileInfo(dir.filePath("a.jpg")).size();
    // 10 x 10 at 24 bits: rows padded to 32 bytes, 54 header bytes.
    const qint64 bmpSize = 54 + 32 * 10;
    QCOMPARE(find(built, "a.jpg")->record,
        QStringList({"0", QString::number(jpegSize), "2004/05/12 9:05:30", "300", "200"}));
    QCOMPARE(find(built, "b.txt")->record, QStringList({"1", "1234", "2019/12/31", "", ""}));
    QCOMPARE(find(built, "c.bmp")->record,
        QStringList({"0", QString::number(bmpSize), "1999/01/02 23:59:58", "10", "10"}));
    QCOMPARE(built.result.files, 3);
    QCOMPARE(built.result.pictures, 2);
    QCOMPARE(built.result.others, 1);
    QCOMPARE(built.result.bytes, jpegSize + 1234 + bmpSize);
}

void TestListBuilder::poolMatchesSingleThread_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("scale");
    QTest::newRow("2 threads box 48 eighth") << 2 << 48 << 3;
    QTest::newRow("3 threads box 96 half") << 3 << 96 << 1;
    QTest::newRow("8 threads box 32 full") << 8 << 32 << 0;
}

void TestListBuilder::poolMatchesSingleThread()
{
    QFETCH(int, threads);
    QFETCH(int, box);
    QFETCH(int, scale);
    // Slow and quick decodes interleaved, so the pool finishes them out of order.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 40; ++i) {
        const QString stem = QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        bool ok = true;
        switch (i % 5) {
        case 0:
            ok = writeJpeg(dir.filePath(stem + ".jpg"), 1600 + i, 1200, i % 2 == 0);
            break;
        case 1:
            ok = writeJpeg(dir.filePath(stem + ".JPEG"), 33 + i, 17);
            break;
        case 2:
            ok = morvane::testsupport::writeFile(dir.filePath(stem + ".txt"), "text");
            break;
        case 3:
            ok = morvane::testsupport::writeFile(dir.filePath(stem + ".bmp"),
                morvane::testsupport::bmpBytes(20 + i, 30, quint8(i * 5), 100, 200));
            break;
        default:
            ok = morvane::testsupport::writeFile(dir.filePath(stem + ".jpg"), "broken");
            break;
        }
        QVERIFY(ok);
    }
    const Built single = buildFolder(dir.path(), box, scale, 1);
    const Built pooled = buildFolder(dir.path(), box, scale, threads);
    const std::vector<morvane::platform::FolderEntry> order =
        morvane::platform::scanFolder(QFile::encodeName(dir.path()));
    QCOMPARE(single.items.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        QCOMPARE(single.items[i].nativeName, order[i].nativeName); // enumeration order
    compareBuilds(pooled, single);
    QCOMPARE(pooled.result.pictures, 24); // 8 large, 8 small JPEGs, 8 bitmaps

    // The same list from the cache: written by the pool, read by the pool and by one thread.
    QTemporaryDir cacheDir;
    ThumbCache cache(QFile::encodeName(cacheDir.path()), std::int64_t(64) << 20);
    const CountingDecoder counting;
    struct Run
    {
        const char *name;
        int threads;
        bool readCache;
        int decodes, reads, writes;
    };
    const Run runs[] = {{"cold", threads, true, 24, 0, 24},
        {"warm", threads, true, 0, 24, 0},
        {"warm, one thread", 1, true, 0, 24, 0},
        {"refresh", threads, false, 24, 0, 24}};
    for (const Run &run : runs) {
        *counting.decodes = 0;
        counting.threads->ids.clear();
        const Built cached = buildFolder(
            dir.path(), box, scale, run.threads, counting, 224 << 20, &cache, run.readCache);
        compareBuilds(cached, single);
        QVERIFY2(counting.decodes->load() >= run.decodes, run.name); // broken files decode too
        QVERIFY2(counting.decodes->load() <= run.decodes + 8, run.name);
        QCOMPARE(cached.result.cacheReads, run.reads);
        QCOMPARE(cached.result.cacheWrites, run.writes);
        // The calling thread decodes too: no more threads than asked for, so none waits for a
        // core.
        QVERIFY2(counting.threads->ids.size() <= std::size_t(run.threads), run.name);
    }
}

void TestListBuilder::cacheNoticesChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("decoded"); // the second build decodes the picture
    QTest::addColumn<bool>("written"); // and writes its entry
    QTest::addColumn<bool>("recoloured"); // the box shows the new blue
    QTest::newRow("nothing changed") << "none" << false << false << false;
    QTest::newRow("replaced, same size and modification time") << "replace" << true << true << true;
    QTest::newRow("entry truncated") << "truncate" << true << true << false;
    QTest::newRow("entry overwritten with garbage") << "garbage" << true << true << false;
    QTest::newRow("entry emptied") << "empty" << true << true << false;
    QTest::newRow("refresh") << "refresh" << true << true << false;
    QTest::newRow("cache folder is a file") << "unusable" << true << false << false;
    QTest::newRow("entry is a link to a good entry") << "link" << true << true << false;
    QTest::newRow("cache size 0 serves nothing") << "off" << true << false << false;
    QTest::newRow("cache folder is a link: not used") << "linked folder" << true << false << false;
}

void TestListBuilder::cacheNoticesChanges()
{
    QFETCH(QString, change);
    QFETCH(bool, decoded);
    QFETCH(bool, written);
    QFETCH(bool, recoloured);
    QTemporaryDir dir;
    QTemporaryDir cacheRoot;
    QVERIFY(dir.isValid() && cacheRoot.isValid());
    const QString picture = dir.filePath(QStringLiteral("a.bmp"));
    QVERIFY(morvane::testsupport::writeFile(
        picture, morvane::testsupport::bmpBytes(60, 40, 200, 0, 0)));
    const QString cachePath = cacheRoot.filePath(QStringLiteral("thumbs"));
    const QString real = cacheRoot.filePath(QStringLiteral("real"));
    ThumbCache cache(QFile::encodeName(cachePath), std::int64_t(1) << 20);
    QCOMPARE(buildFolder(dir.path(), 48, 3, 1, {}, 224 << 20, &cache).result.cacheWrites, 1);
    const QStringList entries = QDir(cachePath).entryList(QDir::Files);
    QCOMPARE(entries.size(), 1);
    const QString entry = QDir(cachePath).filePath(entries.front());

    if (change == u"replace") {
        // Another picture of the same size, given the old modification time back: only the
        // change time tells.
        struct stat before
        {
        };
        QCOMPARE(::stat(QFile::encodeName(picture).constData(), &before), 0);
        QVERIFY(morvane::testsupport::writeFile(
            picture, morvane::testsupport::bmpBytes(60, 40, 0, 0, 200)));
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(picture).constData(), times, 0), 0);
    } else if (change == u"truncate" || change == u"garbage" || change == u"empty") {
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        if (change == u"truncate")
            QVERIFY(f.resize(size - 7));
        else if (change == u"empty")
            QVERIFY(f.resize(0));
        else
            QCOMPARE(f.write(QByteArray(static_cast<int>(size), '\x5a')), size);
    } else if (change == u"unusable") {
        QVERIFY(QDir(cachePath).removeRecursively());
        QVERIFY(morvane::testsupport::writeFile(cachePath, "not a folder"));
    } else if (change == u"link") {
        QVERIFY(QFile::rename(entry, cacheRoot.filePath(QStringLiteral("elsewhere.mvt"))));
        QVERIFY(QFile::link(cacheRoot.filePath(QStringLiteral("elsewhere.mvt")), entry));
    } else if (change == u"linked folder") {
        QVERIFY(QDir().rename(cachePath, real));
        QVERIFY(QFile::setPermissions(real,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                | QFile::ExeOther));
        QVERIFY(QFile::link(real, cachePath));
    }
    // Used long ago: a hit must mark it used now, or eviction takes thumbnails in use.
    const QByteArray nativeEntry = QFile::encodeName(entry);
    const timespec past[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    (void)::utimensat(AT_FDCWD, nativeEntry.constData(), past, AT_SYMLINK_NOFOLLOW);
    std::optional<ThumbCache> other;
    if (change == u"off" || change == u"linked folder")
        other.emplace(QFile::encodeName(cachePath), change == u"off" ? 0 : std::int64_t(1) << 20);

    const CountingDecoder counting;
    const Built again = buildFolder(
        dir.path(), 48, 3, 2, counting, 224 << 20, other ? &*other : &cache, change != u"refresh");
    QVERIFY(again.result.completed);
    QCOMPARE(again.result.pictures, 1);
    QCOMPARE(counting.decodes->load(), decoded ? 1 : 0);
    QCOMPARE(again.result.cacheReads, decoded ? 0 : 1);
    QCOMPARE(again.result.cacheWrites, written ? 1 : 0);
    compareBuilds(again, buildFolder(dir.path(), 48, 3, 1)); // as without a cache
    const QRgb p = again.items.front().thumb.box().pixel(2, 2);
    QCOMPARE(qBlue(p) > 150, recoloured);
    struct stat st
    {
    };
    if (!decoded)
        QVERIFY(::lstat(nativeEntry.constData(), &st) == 0 && st.st_mtime > ::time(nullptr) - 60);
    if (change == u"linked folder") {
        // Said once, and the folder the link leads to kept as it was: its mode, its one entry.
        QVERIFY(!other->refusal().isEmpty());
        QVERIFY(
            ::stat(QFile::encodeName(real).constData(), &st) == 0 && (st.st_mode & 07777) == 0705);
        QCOMPARE(QDir(real).entryList(QDir::Files).size(), 1);
        QCOMPARE(other->clear(), 0);
        QCOMPARE(QDir(real).entryList(QDir::Files).size(), 1);
    }
    if (written) {
        *counting.decodes = 0;
        QCOMPARE(
            buildFolder(dir.path(), 48, 3, 1, counting, 224 << 20, &cache).result.cacheReads, 1);
        QCOMPARE(counting.decodes->load(), 0);
    }
}

void TestListBuilder::deviceBoxesKeyTheCache_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("deviceBox"); // of the logical box 100
    QTest::addColumn<QSize>("drawn"); // 300 x 200 fitted into it
    QTest::newRow("ratio 1: the logical box") << 1.0 << 100 << QSize(100, 66);
    QTest::newRow("ratio 1.5") << 1.5 << 150 << QSize(150, 100);
    QTest::newRow("ratio 2") << 2.0 << 200 << QSize(200, 133);
    QTest::newRow("ratio not a number: logical") << std::nan("") << 100 << QSize(100, 66);
}

// At a device pixel ratio the picture is fitted into the box in device pixels, and the cache
// keeps it under that size: a build at another ratio does not take it.
void TestListBuilder::deviceBoxesKeyTheCache()
{
    QFETCH(double, ratio);
    QFETCH(int, deviceBox);
    QFETCH(QSize, drawn);
    QTemporaryDir dir;
    QTemporaryDir cacheRoot;
    QVERIFY(dir.isValid() && cacheRoot.isValid());
    const QString picture = dir.filePath(QStringLiteral("a.bmp"));
    QVERIFY(morvane::testsupport::writeFile(
        picture, morvane::testsupport::bmpBytes(300, 200, 200, 0, 0)));
    ThumbCache cache(QFile::encodeName(cacheRoot.filePath("thumbs")), std::int64_t(1) << 20);
    const Built built = buildFolder(dir.path(), 100, 3, 1, {}, 224 << 20, &cache, true, ratio);
    QVERIFY(built.result.completed);
    QCOMPARE(built.result.cacheWrites, 1);
    const QImage box = built.items.front().thumb.box();
    QCOMPARE(box.size(), QSize(deviceBox, deviceBox));
    const Coverage c = coverage(box, QRect(QPoint(0, 0), drawn));
    QCOMPARE(c.insideWhite, 0);
    QCOMPARE(c.outsideColoured, 0);

    const morvane::platform::FolderEntry file =
        morvane::platform::scanFolder(QFile::encodeName(dir.path())).front();
    const morvane::browser::FileStamp stamp {file.size, file.mtimeNs, file.ctimeNs, file.inode};
    const std::string path = QFile::encodeName(picture).toStdString();
    QVERIFY(cache.read({path, deviceBox, 3, true}, stamp).has_value());
    QCOMPARE(cache.read({path, 100, 3, true}, stamp).has_value(), deviceBox == 100);
    // The other scale's build decodes afresh.
    const Built other =
        buildFolder(dir.path(), 100, 3, 1, {}, 224 << 20, &cache, true, ratio == 2.0 ? 1.0 : 2.0);
    QCOMPARE(other.result.cacheReads, 0);
    QCOMPARE(other.result.cacheWrites, 1);
}

void TestListBuilder::cacheKeepsTheRecentEntriesWithinItsLimit()
{
    // Two folders of three bitmaps; room for about three entries. After the second folder is
    // built, its entries stay and the first folder's (used earlier) are gone.
    QTemporaryDir first;
    QTemporaryDir second;
    QTemporaryDir cacheRoot;
    for (const QTemporaryDir *d : {&first, &second}) {
        for (int i = 0; i < 3; ++i) {
            QVERIFY(morvane::testsupport::writeFile(d->filePath(QStringLiteral("p%1.bmp").arg(i)),
                morvane::testsupport::bmpBytes(90 + i, 70, quint8(i * 40), 90, 160)));
        }
    }
    const QByteArray folder = QFile::encodeName(cacheRoot.filePath(QStringLiteral("thumbs")));
    ThumbCache measure(folder, std::int64_t(1) << 30);
    QCOMPARE(buildFolder(second.path(), 48, 3, 1, {}, 224 << 20, &measure).result.cacheWrites, 3);
    const std::int64_t three = measure.usage().bytes;
    QVERIFY(measure.clear() == 3 && measure.usage().entries == 0);

    ThumbCache cache(folder, three + three / 6);
    QCOMPARE(buildFolder(first.path(), 48, 3, 1, {}, 224 << 20, &cache).result.cacheWrites, 3);
    // Used a minute ago, so no clock granularity makes them look as recent as the next ones.
    const timespec past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    for (const QString &name : QDir(QFile::decodeName(folder)).entryList(QDir::Files))
        QCOMPARE(
            ::utimensat(AT_FDCWD, (folder + '/' + QFile::encodeName(name)).constData(), past, 0),
            0);
    QCOMPARE(buildFolder(second.path(), 48, 3, 1, {}, 224 << 20, &cache).result.cacheWrites, 3);
    QVERIFY(cache.usage().bytes <= cache.limitBytes());
    QCOMPARE(cache.usage().entries, 3);
    QCOMPARE(buildFolder(second.path(), 48, 3, 1, {}, 224 << 20, &cache).result.cacheReads, 3);
    QCOMPARE(buildFolder(first.path(), 48, 3, 1, {}, 224 << 20, &cache).result.cacheReads, 0);

    // Only its own files go: a writer's fresh temporary stays through a prune, a crashed one's
    // goes; a user's file stays even under an entry's name.
    const auto put = [&](const char *name, std::time_t age) {
        const QByteArray path = folder + '/' + name;
        const timespec then[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
        return morvane::testsupport::writeFile(QFile::decodeName(path), "mine")
            && ::utimensat(AT_FDCWD, path.constData(), then, 0) == 0;
    };
    QVERIFY(put(".tmp-Ab12Cd", 0) && put(".tmp-Zz99Yy", 3600) && put("0123456789abcdef.mvt", 3600)
        && put(".tmp-notes.txt", 3600));
    (void)cache.prune();
    const auto names = [&] {
        return QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden).join(u' ');
    };
    QVERIFY(names().contains(u".tmp-Ab12Cd") && !names().contains(u".tmp-Zz99Yy"));
    QCOMPARE(cache.clear(), 3);
    QCOMPARE(names(), QStringLiteral(".tmp-notes.txt 0123456789abcdef.mvt"));
}

void TestListBuilder::decodeFailuresGiveTheSingleThreadList_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("always");
    QTest::newRow("no memory beside others, enough alone") << int(ShortOfMemory::Returns) << false;
    QTest::newRow("bad_alloc beside others, enough alone")
        << int(ShortOfMemory::ThrowsBadAlloc) << false;
    QTest::newRow("no memory even alone ends the build") << int(ShortOfMemory::Returns) << true;
    QTest::newRow("bad_alloc even alone ends the build")
        << int(ShortOfMemory::ThrowsBadAlloc) << true;
    QTest::newRow("another exception ends the build") << int(ShortOfMemory::ThrowsOther) << true;
}

void TestListBuilder::decodeFailuresGiveTheSingleThreadList()
{
    QFETCH(int, how);
    QFETCH(bool, always);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 24; ++i) {
        const QString name =
            QStringLiteral("%1%2.jpg").arg(i % 6 == 3 ? "big" : "p").arg(i, 2, 10, QChar('0'));
        QVERIFY(writeJpeg(dir.filePath(name), 320 + i, 240));
        QVERIFY(morvane::testsupport::writeFile(dir.filePath(name + ".txt"), "x"));
    }
    const std::vector<morvane::platform::FolderEntry> order =
        morvane::platform::scanFolder(QFile::encodeName(dir.path()));
    const auto firstBig = std::find_if(order.begin(), order.end(), [](const auto &e) {
        return e.nativeName.startsWith("big") && e.nativeName.endsWith(".jpg");
    });
    QVERIFY(firstBig != order.end());

    Built single;
    for (int threads : {1, 2, 8}) {
        ShortOfMemory memory;
        memory.how = ShortOfMemory::How(how);
        memory.always = always;
        const Built built = buildFolder(dir.path(), 48, 3, threads, [&memory](auto &&...args) {
            return memory.decode(args...);
        });
        QCOMPARE(memory.crowded.load(), 0); // a second try runs alone
        if (threads == 1) {
            QCOMPARE(memory.failedBeside.load(), 0);
            single = built;
            continue;
        }
        QVERIFY(memory.failedBeside.load() > 0);
        compareBuilds(built, single);
        if (QTest::currentTestFailed())
            return;
    }
    // The main window's live build: the same second try alone, the same end.
    ShortOfMemory memory;
    memory.how = ShortOfMemory::How(how);
    memory.always = always;
    const auto boxes = liveDecode(dir.path(), [&memory](auto &&...args) {
        return memory.decode(args...);
    });
    QCOMPARE(memory.crowded.load(), 0);
    using Outcome = morvane::browser::LiveBox::Outcome;
    const Outcome last = boxes.empty() ? Outcome::Other : boxes.back().outcome;
    if (always) {
        QCOMPARE(last, how == ShortOfMemory::ThrowsOther ? Outcome::Failed : Outcome::NoMemory);
        QVERIFY(boxes.back().nativeName.startsWith("big"));
    } else {
        QCOMPARE(boxes.size(), std::size_t(24));
        for (const auto &box : boxes)
            QCOMPARE(box.outcome, Outcome::Picture);
    }

    if (always) {
        QVERIFY(!single.result.completed);
        QCOMPARE(single.items.size(), std::size_t(firstBig - order.begin()));
        if (how == ShortOfMemory::ThrowsOther)
            QVERIFY(single.result.failure.contains(QFile::decodeName(firstBig->nativeName)));
    } else {
        QVERIFY(single.result.completed);
        QCOMPARE(single.result.pictures, 24);
        QCOMPARE(single.result.others, 24);
    }
}

void TestListBuilder::decodesAheadStayWithinTheBudget()
{
    // Each decode claims the bytes its name says (a hundredth of the budget per unit); one claims
    // more than the whole budget and must run alone. Tracked between the gate and the decode's end.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 30; ++i) {
        const int units = i == 17 ? 150 : 20 + (i % 4) * 15;
        QVERIFY(writeJpeg(dir.filePath(QStringLiteral("%1-%2.jpg").arg(units).arg(i)), 1200, 900));
    }
    const std::int64_t budget = std::int64_t(100) << 20;
    std::mutex mutex;
    std::int64_t held = 0;
    int running = 0;
    int overBudget = 0;
    int gated = 0;
    auto decoder = [&](const QByteArray &path,
                       morvane::imaging::PictureFormat format,
                       const morvane::imaging::ThumbRequest &request,
                       const morvane::imaging::MemoryGate &gate) {
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        const std::int64_t bytes = name.left(name.indexOf('-')).toLongLong() << 20;
        if (gate && !gate(bytes))
            return morvane::imaging::DecodeResult {};
        {
            const std::lock_guard lock(mutex);
            ++gated;
            held += bytes;
            ++running;
            if (running > 1 && held > budget)
                ++overBudget;
        }
        auto result = morvane::imaging::decodePictureFile(path, format, request, {});
        const std::lock_guard lock(mutex);
        held -= bytes;
        --running;
        return result;
    };
    // At full size, so that decodes last long enough to overlap.
    const Built single = buildFolder(dir.path(), 48, 0, 1);
    const Built pooled = buildFolder(dir.path(), 48, 0, 4, decoder, budget);
    QCOMPARE(gated, 30);
    QCOMPARE(overBudget, 0);
    compareBuilds(pooled, single);
}

void TestListBuilder::callbackExceptionEndsBuild_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("single thread") << 1;
    QTest::newRow("pool") << 2;
}

void TestListBuilder::callbackExceptionEndsBuild()
{
    QFETCH(int, threads);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 30; ++i)
        QVERIFY(writeJpeg(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 800, 600));
    ListBuilder builder;
    ListBuildOptions options;
    options.threads = threads;
    int seen = 0;
    bool thrown = false;
    try {
        (void)builder.build(QFile::encodeName(dir.path()), options, [&seen](ListEntry &&) {
            if (++seen == 3)
                throw std::runtime_error("list refused the item");
        });
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(seen, 3);
    // The builder is usable again and gives the whole list.
    int again = 0;
    const ListBuildResult result =
        builder.build(QFile::encodeName(dir.path()), options, [&again](ListEntry &&) {
            ++again;
        });
    QVERIFY(result.completed);
    QCOMPARE(again, 30);
}

void TestListBuilder::nestedBuildRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("a.txt"), "a"));
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("b.txt"), "b"));
    ListBuilder builder;
    ListBuildResult inner;
    int outerItems = 0;
    const ListBuildResult outer =
        builder.build(QFile::encodeName(dir.path()), {}, [&](ListEntry &&) {
            ++outerItems;
            inner = builder.build(QFile::encodeName(dir.path()), {}, [](ListEntry &&) {});
        });
    QVERIFY(outer.completed);
    QCOMPARE(outerItems, 2);
    QVERIFY(!inner.completed);
    QVERIFY(!inner.failure.isEmpty());
}

void TestListBuilder::badBoxSizeRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(morvane::testsupport::writeFile(dir.filePath("a.txt"), "a"));
    for (int box : {0, -48, 100000}) {
        ListBuilder builder;
        ListBuildOptions options;
        options.boxSize = box;
        int items = 0;
        const ListBuildResult r =
            builder.build(QFile::encodeName(dir.path()), options, [&](ListEntry &&) {
                ++items;
            });
        QVERIFY(!r.completed);
        QCOMPARE(items, 0);
    }
}

void TestListBuilder::unreadableFolderIsEmpty()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Built built = buildFolder(dir.filePath("does-not-exist"), 48, 3, 2);
    QVERIFY(built.result.completed);
    QVERIFY(built.items.empty());
    QCOMPARE(built.result.files, 0);
    QCOMPARE(built.result.bytes, 0);
}

QTEST_MAIN(TestListBuilder)
#include "tst_listbuilder.moc"
