// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built morvane-cli thumbs on folders of pictures made here: its counts and census,
// single thread against the pool, the contact sheet, and bad arguments.
#include "support/clirun.h"
#include "support/imagefixtures.h"

#include <QColor>
#include <QFile>
#include <QImage>

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using morvane::test::CliResult;
using morvane::test::runCli;

// The "key: value" lines of the output.
std::map<std::string, std::string> fields(const std::string &out)
{
    std::map<std::string, std::string> m;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end == std::string::npos ? end : end - at);
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos)
            m[line.substr(0, colon)] = line.substr(colon + 2);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return m;
}

class ThumbsCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_root.empty());
        ASSERT_EQ(::mkdir(m_photos.c_str(), 0755), 0);
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Each test its own thumbnail cache, with the default limit of empty settings.
        setenv("XDG_CACHE_HOME", m_cacheHome.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    }

    void write(const std::string &name, const QByteArray &bytes)
    {
        ASSERT_TRUE(
            morvane::testsupport::writeFile(QString::fromStdString(m_photos + "/" + name), bytes))
            << name;
    }

    // A solid-colour JPEG of the given size.
    void writeJpeg(const std::string &name, int w, int h, quint8 r, quint8 g, quint8 b)
    {
        write(name,
            morvane::testsupport::jpegBytes({.width = w, .height = h, .c0 = r, .c1 = g, .c2 = b}));
    }

    morvane::test::ScratchFolder m_scratch;
    const std::string m_root = m_scratch.path();
    const std::string m_photos = m_root + "/photos";
    const std::string m_cacheHome = m_root + "/cache";
};

TEST_F(ThumbsCliTest, CountsAndCensusAlikeOnOneThreadAndThePool)
{
    QByteArray a = morvane::testsupport::jpegBytes({.width = 1600, .height = 1200});
    ASSERT_GT(a.size(), 2);
    ASSERT_LT(a.size(), 100000);
    a.append(QByteArray(100000 - a.size(), '\0')); // after the end marker: the sum is known
    write("a.jpg", a);
    write("b.bmp", morvane::testsupport::bmpBytes(120, 160, 20, 40, 220));
    write("c.txt", "notes\n");
    write("d.jpg", "no JPEG here");
    write(".hidden.ico", morvane::testsupport::icoBytes(16, 0, 200, 0, 255));
    ASSERT_EQ(::mkdir((m_photos + "/sub").c_str(), 0755), 0);
    // 100000 + 57654 (54 + 120 x 160 x 3) + 6 + 12 + 1150 (22 + 40 + 16 x 16 x 4 + 16 x 4).
    const std::string census = " 全 5 file ( 158 KByte ) 中 0 file目";

    for (const char *threads : {"1", "0", "3"}) {
        SCOPED_TRACE(threads);
        const CliResult r = runCli({"thumbs", m_photos, "--threads", threads});
        ASSERT_EQ(r.status, 0) << r.err;
        auto f = fields(r.out);
        EXPECT_EQ(f["files"], "5");
        EXPECT_EQ(f["pictures"], "3");
        EXPECT_EQ(f["other files"], "2");
        EXPECT_EQ(f["bytes"], "158822");
        EXPECT_EQ(f["census"], census);
        EXPECT_NE(f["wall time"].find(" s"), std::string::npos);
        EXPECT_FALSE(f["pictures per second"].empty());
        EXPECT_NE(f["peak memory"].find("MiB"), std::string::npos);
    }
}

TEST_F(ThumbsCliTest, SheetShowsTheBoxesInListOrder)
{
    // List order b.jpg, C.bmp (case ignored), z.txt; enumeration order is the file system's.
    write("z.txt", "text");
    write("C.bmp", morvane::testsupport::bmpBytes(100, 100, 20, 40, 220));
    writeJpeg("b.jpg", 200, 100, 200, 30, 30);
    const std::string sheet = m_root + "/sheet.png";
    const CliResult r = runCli({"thumbs", m_photos, "--size", "96", "--sheet", sheet});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fields(r.out)["sheet"], sheet);
    const QImage image(QString::fromStdString(sheet));
    ASSERT_FALSE(image.isNull());

    // The leftmost column where each box's colour shows, in the first row of boxes.
    auto firstColumnOf = [&image](auto isColour) {
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (isColour(QColor(image.pixel(x, y))))
                    return x;
            }
        }
        return -1;
    };
    const int red = firstColumnOf([](const QColor &c) {
        return c.red() > 150 && c.green() < 80 && c.blue() < 80;
    });
    const int blue = firstColumnOf([](const QColor &c) {
        return c.blue() > 180 && c.red() < 60 && c.green() < 80;
    });
    ASSERT_GE(red, 0);
    ASSERT_GE(blue, 0);
    // Both boxes are 96 wide: the JPEG drawn 96 x 48, the bitmap 96 x 96.
    EXPECT_LT(red, blue);
    EXPECT_GE(blue - red, 96);
}

TEST_F(ThumbsCliTest, OutOfMemoryEndsTheBuildAlikeOnOneThreadAndEight)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers reserve more address space than a limit can leave";
#endif
    // The bitmap's header asks for 16384 x 16384 pixels, 1 GiB, which 768 MiB of address space
    // cannot hold even for a decode on its own; the files before it in the enumeration stay.
    QByteArray huge = morvane::testsupport::bmpBytes(4, 4, 10, 20, 30);
    for (int i = 0; i < 4; ++i) {
        huge[18 + i] = char((16384 >> (8 * i)) & 0xFF);
        huge[22 + i] = char((16384 >> (8 * i)) & 0xFF);
    }
    write("huge.bmp", huge);
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        writeJpeg(name, 400, 300, 20, 200, 20);
    std::map<std::string, std::string> single;
    for (const char *threads : {"1", "8"}) {
        SCOPED_TRACE(threads);
        const CliResult r =
            runCli({"thumbs", m_photos, "--threads", threads, "--sheet", m_root + "/sheet.png"},
                std::uint64_t(768) << 20);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("メモリが不足"), std::string::npos) << r.err;
        auto f = fields(r.out);
        EXPECT_EQ(f.count("census"), 0U);
        EXPECT_EQ(f.count("sheet"), 0U);
        EXPECT_EQ(f["files"], f["pictures"]); // only pictures come before it
        if (single.empty())
            single = f;
        EXPECT_EQ(f["files"], single["files"]);
    }
}

TEST_F(ThumbsCliTest, BadArgumentsExitWithStatusTwo)
{
    write("a.txt", "a");
    struct Case
    {
        const char *name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"no folder", {"thumbs"}},
        {"missing folder", {"thumbs", m_root + "/missing"}},
        {"a file, not a folder", {"thumbs", m_photos + "/a.txt"}},
        {"size 0", {"thumbs", m_photos, "--size", "0"}},
        {"size too large", {"thumbs", m_photos, "--size", "1025"}},
        {"size not a number", {"thumbs", m_photos, "--size", "4x"}},
        {"unknown quality", {"thumbs", m_photos, "--quality", "best"}},
        {"negative threads", {"thumbs", m_photos, "--threads", "-1"}},
        {"sheet without a value", {"thumbs", m_photos, "--sheet"}},
        {"unknown option", {"thumbs", m_photos, "--fast"}},
        {"two folders", {"thumbs", m_photos, m_photos}},
        {"cache without a word", {"cache"}},
        {"cache with an unknown word", {"cache", "empty"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

// The whole file, to compare sheets byte for byte.
std::string contentOf(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

TEST_F(ThumbsCliTest, CacheGivesTheSameSheetAndTellsWhatItDid)
{
    writeJpeg("a.jpg", 1600, 1200, 200, 30, 30);
    writeJpeg("b.jpg", 40, 30, 30, 200, 30); // smaller than the box: held as decoded
    write("c.bmp", morvane::testsupport::bmpBytes(300, 500, 20, 40, 220));
    write("d.txt", "text");
    const std::string folder = m_cacheHome + "/morvane/thumbnails";
    struct Run
    {
        const char *name;
        std::vector<std::string> extra;
        std::string cacheLine;
    };
    const Run runs[] = {
        {"first build writes", {}, "read 0, wrote 3 (" + folder + ")"},
        {"second build reads", {"--threads", "1"}, "read 3, wrote 0 (" + folder + ")"},
        {"without the cache", {"--no-cache", "--threads", "3"}, "not used"},
    };
    std::string first;
    for (const Run &run : runs) {
        SCOPED_TRACE(run.name);
        const std::string sheet = m_root + "/sheet.png";
        std::vector<std::string> args = {"thumbs", m_photos, "--size", "320", "--sheet", sheet};
        args.insert(args.end(), run.extra.begin(), run.extra.end());
        const CliResult r = runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(fields(r.out)["cache"], run.cacheLine);
        const std::string bytes = contentOf(sheet);
        ASSERT_FALSE(bytes.empty());
        if (first.empty())
            first = bytes;
        EXPECT_TRUE(bytes == first) << "the sheet differs";
    }

    const CliResult stats = runCli({"cache", "stats"});
    ASSERT_EQ(stats.status, 0) << stats.err;
    EXPECT_EQ(stats.err, "");
    EXPECT_EQ(fields(stats.out)["folder"], folder);
    EXPECT_EQ(fields(stats.out)["entries"], "3");
    EXPECT_NE(fields(stats.out)["size"].find("(limit 512 MiB)"), std::string::npos);
    const CliResult prune = runCli({"cache", "prune"});
    EXPECT_EQ(fields(prune.out)["removed"], "0 entries");
    const CliResult clear = runCli({"cache", "clear"});
    EXPECT_EQ(fields(clear.out)["removed"], "3 entries");
    EXPECT_EQ(fields(clear.out)["entries"], "0");
}

TEST_F(ThumbsCliTest, UnwritableSheetFails)
{
    write("a.txt", "a");
    const CliResult r = runCli({"thumbs", m_photos, "--sheet", m_root + "/no/such/dir/s.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s.png"), std::string::npos) << r.err;
}

} // namespace
