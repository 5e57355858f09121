// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli exif, run as a separate process on files written by the test.
#include "exif/containerfiles.h"
#include "exif/exifcases.h"
#include "support/clirun.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using morvane::testsupport::ByteOrder;

using morvane::test::CliResult;

class ExifCliTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(m_scratch.path().empty()); }

    fs::path write(const std::string &name, const std::vector<std::uint8_t> &bytes)
    {
        const fs::path p = m_dir / name;
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
        return p;
    }

    static CliResult run(const std::vector<std::string> &args)
    {
        std::vector<std::string> all {"exif"};
        all.insert(all.end(), args.begin(), args.end());
        return morvane::test::runCli(all);
    }

    morvane::test::ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(ExifCliTest, PrintsTheRowsOfEveryHandWorkedCase)
{
    int k = 0;
    for (const auto &c : morvane::exiftest::rowCases()) {
        SCOPED_TRACE(c.name);
        const ByteOrder order = k % 2 != 0 ? ByteOrder::Big : ByteOrder::Little;
        const fs::path p = write(
            "case" + std::to_string(k) + ".jpg", morvane::exiftest::cameraFile(order, c.fill));
        ++k;
        std::string expected;
        for (const auto &row : c.rows)
            expected += row.label + "\t" + row.value + "\n";
        if (c.error)
            expected += "error\t" + morvane::exiftest::errorText(c.error) + "\n";
        const CliResult r = run({p.string()});
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.status, c.error ? 1 : 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ExifCliTest, FilesWithoutExif)
{
    struct Case
    {
        const char *name;
        std::vector<std::uint8_t> bytes;
        const char *out;
    };
    std::vector<std::uint8_t> bitmap = {'B', 'M'};
    bitmap.resize(600, 0);
    const Case cases[] = {
        {"jfif.jpg", morvane::testsupport::jfifJpeg(), "Exif情報：\tなし\n"},
        {"bitmap.bmp", bitmap, ""},
        {"short.bin", {0x42, 0x4D, 0x00}, ""},
        {"empty.jpg", {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = run({write(c.name, c.bytes).string()});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(ExifCliTest, ReadsEveryContainer)
{
    using namespace morvane::exiftest;
    const Bytes tiff = sampleTiff(ByteOrder::Big);
    // Names that say nothing of the content: the container is chosen by the first bytes.
    const std::pair<const char *, Bytes> cases[] = {
        {"tiff.jpg", tiff},
        {"png.dat", png({pngChunk("eXIf", tiff)})},
        {"webp.dat", webp({riffChunk("EXIF", tiff)})},
        {"heic.dat", heif(withOffsetField(tiff))},
        {"jxl.dat", jxl({box("Exif", withOffsetField(tiff))})},
    };
    std::string expected;
    for (const auto &row : sampleRows())
        expected += row.label + "\t" + row.value + "\n";
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        const CliResult r = run({write(name, bytes).string()});
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(ExifCliTest, BadInputsGiveStatusTwo)
{
    const std::string missing = (m_dir / "no such file.jpg").string();
    fs::create_directories(m_dir / "folder.jpg");
    const std::string folder = (m_dir / "folder.jpg").string();
    const std::string fifo = (m_dir / "fifo.jpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case
    {
        const char *name;
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {"missing file", {missing}, "ファイル " + missing + " は開けません\n"},
        {"a folder", {folder}, "ファイル " + folder + " は開けません\n"},
        {"a FIFO without a writer", {fifo}, "ファイル " + fifo + " は開けません\n"},
        {"no file", {}, "usage: morvane-cli exif FILE\n"},
        {"two files", {missing, missing}, "usage: morvane-cli exif FILE\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
}

} // namespace
