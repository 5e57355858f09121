// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built morvane-cli census on folders made here and compares its whole output.
#include "support/clirun.h"
#include "support/imagefixtures.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using morvane::test::CliResult;
using morvane::test::runCli;

class CensusCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_root.empty());
        // The date-time texts below are worked out for UTC; the child inherits this.
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        tzset();
    }

    // A file of `size` bytes (sparse past its first byte) whose last-write time is `mtime`.
    void makeFile(const std::string &name, long long size, time_t mtime)
    {
        const std::string path = m_root + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }

    // A file holding `bytes`, dated `mtime`; returns its size as the list shows it.
    std::string writeDated(const std::string &name, const QByteArray &bytes, time_t mtime)
    {
        const std::string path = m_root + "/" + name;
        EXPECT_TRUE(morvane::testsupport::writeFile(QString::fromStdString(path), bytes)) << path;
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        return std::to_string(bytes.size());
    }

    morvane::test::ScratchFolder m_scratch;
    const std::string m_root = m_scratch.path();
};

// 2004-05-12 09:05:31, 2004-05-12 00:00:01 and 2020-01-01 12:00:00 UTC.
constexpr time_t kMorning = 1084352731;
constexpr time_t kAfterMidnight = 1084320001;
constexpr time_t kNoon2020 = 1577880000;

TEST_F(CensusCliTest, ListsEveryFileInCaptionOrder)
{
    makeFile("b.txt", 3, kMorning);
    makeFile("A.bin", 1000001, kAfterMidnight);
    makeFile("c.dat", 0, kNoon2020);
    makeFile(".hidden", 2, kNoon2020);
    makeFile("big.iso", 3000000000LL, kNoon2020); // sparse: a total beyond 2 GB
    makeFile("x\xff", 1, kNoon2020 + 1); // a name that is not UTF-8
    ASSERT_EQ(::mkdir((m_root + "/sub").c_str(), 0755), 0); // folders are not listed
    makeFile("sub/inner.txt", 5, kNoon2020);
    ASSERT_EQ(::symlink("b.txt", (m_root + "/link.txt").c_str()), 0);

    const CliResult r = runCli({"census", m_root});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        " 全 7 file ( 3001 MByte ) 中 0 file目\n"
        ".hidden\t1\t2\t2020/01/01 12:00:00\t\t\n"
        "A.bin\t1\t1000001\t2004/05/12\t\t\n"
        "b.txt\t1\t3\t2004/05/12 9:05:30\t\t\n"
        "big.iso\t1\t3000000000\t2020/01/01 12:00:00\t\t\n"
        "c.dat\t1\t0\t2020/01/01 12:00:00\t\t\n"
        "link.txt\t1\t3\t2004/05/12 9:05:30\t\t\n"
        "x\xEF\xBF\xBD\t1\t1\t2020/01/01 12:00:00\t\t\n");
}

TEST_F(CensusCliTest, PicturesShowKindZeroAndTheirSize)
{
    using morvane::testsupport::bmpBytes;
    using morvane::testsupport::jpegBytes;
    const std::string p = writeDated("p.jpg", jpegBytes({.width = 40, .height = 30}), kNoon2020);
    const std::string q = writeDated("Q.JPEG", jpegBytes({.width = 17, .height = 9}), kNoon2020);
    const std::string b = writeDated("b.bmp", bmpBytes(20, 10, 0, 0, 255), kNoon2020);
    writeDated("fake.jpg", "not a picture", kNoon2020);
    const CliResult r = runCli({"census", m_root});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string t = "\t2020/01/01 12:00:00\t";
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
        "b.bmp\t0\t" + b + t + "20\t10\n" + "fake.jpg\t1\t13" + t + "\t\n" + "p.jpg\t0\t" + p + t
            + "40\t30\n" + "Q.JPEG\t0\t" + q + t + "17\t9\n");
}

TEST_F(CensusCliTest, CensusLineOfSmallFolders)
{
    struct Case
    {
        const char *name;
        std::vector<long long> sizes;
        const char *firstLine;
    };
    const Case cases[] = {
        {"empty folder", {}, " 全 0 file ( 0 Byte ) 中 0 file目\n"},
        {"exactly 1,000,000 bytes", {400000, 600000}, " 全 2 file ( 1000 KByte ) 中 0 file目\n"},
        {"1,000,001 bytes", {400000, 600001}, " 全 2 file ( 1.00 MByte ) 中 0 file目\n"},
        {"beyond 4 GB", {2500000000LL, 2500000000LL}, " 全 2 file ( 5000 MByte ) 中 0 file目\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(std::system(("rm -rf '" + m_root + "'/*").c_str()), 0);
        for (size_t i = 0; i < c.sizes.size(); ++i)
            makeFile("f" + std::to_string(i), c.sizes[i], kNoon2020);
        const CliResult r = runCli({"census", m_root});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), c.firstLine);
        EXPECT_EQ(
            static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')), c.sizes.size() + 1);
    }
}

TEST_F(CensusCliTest, NamesWithControlCharactersStayOnOneLine)
{
    makeFile("a\tb", 1, kNoon2020);
    makeFile("c\nd", 1, kNoon2020);
    const CliResult r = runCli({"census", m_root});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        " 全 2 file ( 2 Byte ) 中 0 file目\n"
        "a\xEF\xBF\xBD"
        "b\t1\t1\t2020/01/01 12:00:00\t\t\n"
        "c\xEF\xBF\xBD"
        "d\t1\t1\t2020/01/01 12:00:00\t\t\n");
}

TEST_F(CensusCliTest, BadArgumentsExitWithStatusTwo)
{
    makeFile("plain.txt", 1, kNoon2020);
    struct Case
    {
        const char *name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"folder does not exist", {"census", m_root + "/missing"}},
        {"a file, not a folder", {"census", m_root + "/plain.txt"}},
        {"empty folder name", {"census", ""}},
        {"no folder", {"census"}},
        {"two folders", {"census", m_root, m_root}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

} // namespace
