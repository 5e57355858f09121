// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built morvane-cli thumbs on folders of pictures made here: its counts and census,
// single thread against the pool, the contact sheet, and bad arguments.
#include "support/imagefixtures.h"

#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result
{
    int status = -1;
    std::string out;
    std::string err;
};

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
        char tmpl[] = "/tmp/morvane-thumbs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        m_photos = m_root + "/photos";
        ASSERT_EQ(::mkdir(m_photos.c_str(), 0755), 0);
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    void TearDown() override
    {
        if (!m_root.empty()) {
            EXPECT_EQ(std::system(("rm -rf '" + m_root + "'").c_str()), 0);
        }
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
        morvane::testsupport::JpegRecipe recipe;
        recipe.width = w;
        recipe.height = h;
        recipe.c0 = r;
        recipe.c1 = g;
        recipe.c2 = b;
        write(name, morvane::testsupport::jpegBytes(recipe));
    }

    Result run(const std::string &args) const
    {
        const std::string errPath = m_root + ".stderr";
        const std::string cmd =
            std::string("'") + MORVANE_CLI + "' " + args + " 2>'" + errPath + "'";
        Result r;
        if (FILE *p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            size_t n = 0;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
                r.out.append(buf, n);
            const int w = ::pclose(p);
            r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
        }
        if (FILE *f = std::fopen(errPath.c_str(), "rb")) {
            char buf[4096];
            size_t n = 0;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                r.err.append(buf, n);
            std::fclose(f);
        }
        ::unlink(errPath.c_str());
        return r;
    }

    std::string m_root;
    std::string m_photos;
};

TEST_F(ThumbsCliTest, CountsAndCensusAlikeOnOneThreadAndThePool)
{
    writeJpeg("a.jpg", 1600, 1200, 200, 30, 30);
    write("b.bmp", morvane::testsupport::bmpBytes(120, 160, 20, 40, 220));
    write("c.txt", "notes\n");
    write("d.jpg", "no JPEG here");
    write(".hidden.ico", morvane::testsupport::icoBytes(16, 0, 200, 0, 255));
    ASSERT_EQ(::mkdir((m_photos + "/sub").c_str(), 0755), 0);
    struct stat st
    {
    };
    long long bytes = 0;
    for (const char *n : {"a.jpg", "b.bmp", "c.txt", "d.jpg", ".hidden.ico"}) {
        ASSERT_EQ(::stat((m_photos + "/" + n).c_str(), &st), 0);
        bytes += st.st_size;
    }
    ASSERT_GT(bytes, 1000);
    ASSERT_LT(bytes, 1000000);
    // Worked by the census rule for 1000 < B <= 1,000,000.
    const long long k = bytes / 1000;
    const std::string rest = std::to_string(1000 + bytes % 1000).substr(1); // zero-padded
    const std::string number = k < 10 ? std::to_string(k) + "." + rest.substr(0, 2)
        : k < 100                     ? std::to_string(k) + "." + rest.substr(0, 1)
                                      : std::to_string(k);
    const std::string census = " 全 5 file ( " + number + " KByte ) 中 0 file目";

    for (const char *threads : {"1", "0", "3"}) {
        SCOPED_TRACE(threads);
        const Result r = run("thumbs '" + m_photos + "' --threads " + threads);
        ASSERT_EQ(r.status, 0) << r.err;
        auto f = fields(r.out);
        EXPECT_EQ(f["files"], "5");
        EXPECT_EQ(f["pictures"], "3");
        EXPECT_EQ(f["other files"], "2");
        EXPECT_EQ(f["bytes"], std::to_string(bytes));
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
    const Result r = run("thumbs '" + m_photos + "' --size 96 --sheet '" + sheet + "'");
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

TEST_F(ThumbsCliTest, BadArgumentsExitWithStatusTwo)
{
    write("a.txt", "a");
    struct Case
    {
        const char *name;
        std::string args;
    };
    const Case cases[] = {
        {"no folder", "thumbs"},
        {"missing folder", "thumbs '" + m_root + "/missing'"},
        {"a file, not a folder", "thumbs '" + m_photos + "/a.txt'"},
        {"size 0", "thumbs '" + m_photos + "' --size 0"},
        {"size too large", "thumbs '" + m_photos + "' --size 1025"},
        {"size not a number", "thumbs '" + m_photos + "' --size 4x"},
        {"unknown quality", "thumbs '" + m_photos + "' --quality best"},
        {"negative threads", "thumbs '" + m_photos + "' --threads -1"},
        {"sheet without a value", "thumbs '" + m_photos + "' --sheet"},
        {"unknown option", "thumbs '" + m_photos + "' --fast"},
        {"two folders", "thumbs '" + m_photos + "' '" + m_photos + "'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

TEST_F(ThumbsCliTest, UnwritableSheetFails)
{
    write("a.txt", "a");
    const Result r = run("thumbs '" + m_photos + "' --sheet '" + m_root + "/no/such/dir/s.png'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("s.png"), std::string::npos) << r.err;
}

} // namespace
