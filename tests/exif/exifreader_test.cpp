// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifcases.h"
#include "exif/exifreader.h"
#include "exif/exifrows.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using namespace std::string_view_literals;
using morvane::exif::ExifErrorKind;
using morvane::exif::ExifRow;
using morvane::exif::summaryRows;
using morvane::testsupport::BuiltTiff;
using morvane::testsupport::ByteOrder;
using morvane::testsupport::exifJpeg;
using morvane::testsupport::JpegOptions;
using morvane::testsupport::TiffBuilder;
namespace tag = morvane::exif::tag;
using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<ExifRow>;

constexpr const char *kMake = "メーカー名：";
constexpr const char *kModel = "製品名：";
constexpr const char *kIso = "ＩＳＯ感度：";
constexpr const char *kFlash = "フラッシュ発光：";
constexpr const char *kShutter = "シャッター速度：";
constexpr std::uint16_t kAscii = 2;
constexpr std::uint16_t kLong = 4;
using morvane::exiftest::kNoExif;
using morvane::exiftest::show;

std::string errorOf(const morvane::exif::ExifResult &r)
{
    return morvane::exiftest::errorText(r.error ? std::optional(r.error->kind) : std::nullopt);
}

std::string errorOf(std::optional<ExifErrorKind> kind)
{
    return morvane::exiftest::errorText(kind);
}

const char *orderName(ByteOrder o)
{
    return o == ByteOrder::Big ? "MM" : "II";
}

TEST(ExifReaderTest, SwapLongReversesTheFourBytes)
{
    struct Case
    {
        std::uint32_t in, out;
    };
    const Case cases[] = {
        {0x12345678U, 0x78563412U},
        {0x00000000U, 0x00000000U},
        {0xFFFFFFFFU, 0xFFFFFFFFU},
        {0x000000FFU, 0xFF000000U},
        {0x80000001U, 0x01000080U},
        {0x00010000U, 0x00000100U},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(morvane::exif::swapLong(c.in), c.out);
        EXPECT_EQ(morvane::exif::swapLong(c.out), c.in);
    }
}

Bytes makeCanon(ByteOrder order, const JpegOptions &options = {})
{
    TiffBuilder b(order);
    b.ascii(0, tag::Make, "Canon");
    return exifJpeg(b.build().bytes, options);
}

TEST(ExifReaderTest, StartOfImageIsSearchedInTheFirst256Bytes)
{
    struct Case
    {
        const char *name;
        std::size_t prefix;
        Rows rows;
    };
    const Case cases[] = {
        {"no prefix", 0, {{kMake, "Canon"}}},
        {"one byte", 1, {{kMake, "Canon"}}},
        {"17 bytes", 17, {{kMake, "Canon"}}},
        {"254 bytes", 254, {{kMake, "Canon"}}},
        {"255 bytes, the last position of the window", 255, {{kMake, "Canon"}}},
        {"256 bytes, outside the window", 256, {}},
        {"1000 bytes", 1000, {}},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + orderName(order));
            JpegOptions o;
            o.prefix.assign(c.prefix, 0x00);
            const auto r = summaryRows(makeCanon(order, o));
            EXPECT_EQ(show(r.rows), show(c.rows));
            EXPECT_FALSE(r.error);
        }
    }
}

TEST(ExifReaderTest, FilesWithoutStartOfImageGiveNothing)
{
    // Short files included: the search stops where two bytes no longer fit.
    struct Case
    {
        std::size_t size;
        std::uint8_t fill;
    };
    const Case cases[] = {
        {0, 0x00},
        {1, 0xFF},
        {2, 0x00},
        {3, 0xFF},
        {100, 0x00},
        {255, 0xFF},
        {256, 0x00},
        {257, 0xFF},
        {4096, 0xD8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes file(c.size, c.fill);
        const auto r = summaryRows(file);
        EXPECT_TRUE(r.rows.empty());
        EXPECT_EQ(errorOf(r), errorOf(std::nullopt));
    }
}

// SOI, an APP1 Exif segment header, then `tiff` as the file's last bytes.
Bytes tiffHeader(std::string_view tiff)
{
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0};
    f.resize(f.size() + tiff.size());
    std::copy(tiff.begin(), tiff.end(), f.end() - static_cast<std::ptrdiff_t>(tiff.size()));
    return f;
}

TEST(ExifReaderTest, WhatFollowsTheStartOfImageDecides)
{
    const ExifErrorKind pastEnd = ExifErrorKind::ReadPastEnd;
    struct Case
    {
        const char *name;
        Bytes file;
        Rows rows;
        std::optional<ExifErrorKind> error;
    };
    Bytes bitmap = {'B', 'M'};
    bitmap.resize(400, 0x00);
    Bytes bitmapWithPair = bitmap;
    bitmapWithPair[100] = 0xFF;
    bitmapWithPair[101] = 0xD8;
    Bytes exifLater = morvane::testsupport::jfifJpeg(makeCanon(ByteOrder::Little));
    TiffBuilder canon(ByteOrder::Little);
    canon.ascii(0, tag::Make, "Canon");
    const Case cases[] = {
        {"a bitmap without the pair", bitmap, {}, {}},
        {"a bitmap whose bytes happen to hold FF D8", bitmapWithPair, {kNoExif}, {}},
        {"JFIF with an Exif segment after it",
            morvane::testsupport::jfifJpeg(canon.build().bytes),
            {{kMake, "Canon"}},
            {}},
        {"the pair is the last two bytes", {0x00, 0xFF, 0xD8}, {}, pastEnd},
        {"one byte of a marker", {0xFF, 0xD8, 0xFF}, {}, pastEnd},
        {"an APP0 marker and nothing else", {0xFF, 0xD8, 0xFF, 0xE0}, {kNoExif}, {}},
        {"an APP1 marker and nothing else", {0xFF, 0xD8, 0xFF, 0xE1}, {}, pastEnd},
        {"a quantisation table first", {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00}, {kNoExif}, {}},
        // TIFF headers in the file's last bytes; IFD0 at offset 8 starts right after the header.
        {"a TIFF header that ends the file", tiffHeader("II*\0\x08\0\0\0"sv), {}, {}},
        {"a TIFF header one byte short", tiffHeader("II*\0\x08\0\0"sv), {}, pastEnd},
        {"only the byte-order mark", tiffHeader("II"sv), {}, pastEnd},
        {"one byte of the byte-order mark", tiffHeader("I"sv), {}, pastEnd},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = summaryRows(c.file);
        EXPECT_EQ(show(r.rows), show(c.rows));
        EXPECT_EQ(errorOf(r), errorOf(c.error));
    }
}

TEST(ExifReaderTest, AnyMarkOtherThanMmIsLittleEndian)
{
    struct Case
    {
        const char *name;
        ByteOrder content;
        std::array<std::uint8_t, 2> mark;
        Rows rows;
    };
    const Case cases[] = {
        {"II", ByteOrder::Little, {'I', 'I'}, {{kIso, "200"}}},
        {"XY on little-endian content", ByteOrder::Little, {'X', 'Y'}, {{kIso, "200"}}},
        {"mM on little-endian content", ByteOrder::Little, {'m', 'M'}, {{kIso, "200"}}},
        {"MM", ByteOrder::Big, {'M', 'M'}, {{kIso, "200"}}},
        // Read as little-endian, the directory offset 8 becomes 0x08000000: past the end.
        {"II on big-endian content", ByteOrder::Big, {'I', 'I'}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TiffBuilder b(c.content);
        b.shortValue(0, tag::IsoSpeedRatings, 200);
        b.setOrderMark(c.mark);
        const auto r = summaryRows(exifJpeg(b.build().bytes));
        EXPECT_EQ(show(r.rows), show(c.rows));
        EXPECT_FALSE(r.error);
    }
}

// The Exif pointer, its forms, and values that point nowhere.
TEST(ExifReaderTest, ExifPointerMovesTheWalk)
{
    struct Case
    {
        const char *name;
        std::function<void(TiffBuilder &)> build;
        Rows rows;
        std::optional<ExifErrorKind> error;
    };
    const auto exifDir = [](TiffBuilder &b) {
        const std::size_t d = b.addIfd();
        b.shortValue(d, tag::IsoSpeedRatings, 100);
        return d;
    };
    const Case cases[] = {
        {"count 1: the value field is the offset",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.pointer(0, tag::ExifPointer, exifDir(b));
            },
            {{kMake, "Canon"}, {kIso, "100"}},
            {}},
        {"count 2: the value field points at the offset",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.indirectPointer(0, tag::ExifPointer, exifDir(b), 2);
            },
            {{kMake, "Canon"}, {kIso, "100"}},
            {}},
        {"entries of IFD0 after the pointer are not visited",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.pointer(0, tag::ExifPointer, exifDir(b));
                b.ascii(0, tag::Model, "EOS");
            },
            {{kMake, "Canon"}, {kIso, "100"}},
            {}},
        {"an indirect offset past the end fails",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.rawEntry(0, tag::ExifPointer, kLong, 2, 0xFFFFFF00U);
            },
            {{kMake, "Canon"}},
            ExifErrorKind::ReadPastEnd},
        {"a pointer past the end ends the walk",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.rawEntry(0, tag::ExifPointer, kLong, 1, 0x00FFFFFFU);
            },
            {{kMake, "Canon"}},
            {}},
        {"the largest pointer does not wrap around",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.rawEntry(0, tag::ExifPointer, kLong, 1, 0xFFFFFFFFU);
            },
            {{kMake, "Canon"}},
            {}},
        // In 32-bit arithmetic 12 + 0xFFFFFFF4 + 2 would be position 2 of the file.
        {"a pointer that would wrap to the start of the file",
            [&](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.rawEntry(0, tag::ExifPointer, kLong, 1, 0xFFFFFFF4U);
            },
            {{kMake, "Canon"}},
            {}},
        {"recognised tags count in IFD0 too",
            [&](TiffBuilder &b) {
                b.rational(0, tag::ExposureTime, 1, 250);
                b.pointer(0, tag::ExifPointer, exifDir(b));
            },
            {{kShutter, "1/250(s)"}, {kIso, "100"}},
            {}},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + orderName(order));
            TiffBuilder b(order);
            c.build(b);
            const auto r = summaryRows(exifJpeg(b.build().bytes));
            EXPECT_EQ(show(r.rows), show(c.rows));
            EXPECT_EQ(errorOf(r), errorOf(c.error));
        }
    }
}

TEST(ExifReaderTest, StopsAtPointerCycle)
{
    struct Case
    {
        const char *name;
        std::function<void(TiffBuilder &)> build;
        Rows rows;
    };
    const Case cases[] = {
        {"the Exif directory points back to IFD0",
            [](TiffBuilder &b) {
                const std::size_t d = b.addIfd();
                b.ascii(0, tag::Make, "Canon");
                b.pointer(0, tag::ExifPointer, d);
                b.shortValue(d, tag::IsoSpeedRatings, 100);
                b.pointer(d, tag::ExifPointer, 0);
                b.shortValue(d, tag::Flash, 1);
            },
            {{kMake, "Canon"}, {kIso, "100"}, {kFlash, "ON"}}},
        {"IFD0 points at itself",
            [](TiffBuilder &b) {
                b.ascii(0, tag::Make, "Canon");
                b.pointer(0, tag::ExifPointer, 0);
                b.ascii(0, tag::Model, "EOS");
            },
            {{kMake, "Canon"}, {kMake, "Canon"}, {kModel, "EOS"}}},
        {"the Exif directory points at itself",
            [](TiffBuilder &b) {
                const std::size_t d = b.addIfd();
                b.pointer(0, tag::ExifPointer, d);
                b.shortValue(d, tag::IsoSpeedRatings, 100);
                b.pointer(d, tag::ExifPointer, d);
                b.shortValue(d, tag::Flash, 0);
            },
            {{kIso, "100"}, {kFlash, "OFF"}}},
        {"an indirect pointer back",
            [](TiffBuilder &b) {
                const std::size_t d = b.addIfd();
                b.pointer(0, tag::ExifPointer, d);
                b.shortValue(d, tag::IsoSpeedRatings, 100);
                b.indirectPointer(d, tag::ExifPointer, 0, 2);
            },
            {{kIso, "100"}}},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + orderName(order));
            TiffBuilder b(order);
            c.build(b);
            const auto r = summaryRows(exifJpeg(b.build().bytes));
            EXPECT_EQ(show(r.rows), show(c.rows));
            EXPECT_FALSE(r.error);
        }
    }
}

TEST(ExifReaderTest, WalkWithoutPointerRunsPastTheDirectory)
{
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        SCOPED_TRACE(orderName(order));
        {
            TiffBuilder b(order);
            b.ascii(0, tag::Make, "Canon");
            b.ascii(0, tag::Model, "EOS");
            const auto r = summaryRows(exifJpeg(b.build().bytes));
            EXPECT_EQ(show(r.rows), show({{kMake, "Canon"}, {kModel, "EOS"}}));
            EXPECT_FALSE(r.error);
        }
        {
            // The link field and the bytes after it are read as one more entry: tag Model,
            // type 2 (link), then count 3 and the value "XY" (trailer), then a zero tag.
            TiffBuilder b(order);
            b.ascii(0, tag::Make, "Canon");
            const std::uint32_t link = order == ByteOrder::Big ? 0x01100002U : 0x00020110U;
            b.setNextRaw(0, link);
            Bytes trailer = b.u32(3);
            trailer.insert(trailer.end(), {'X', 'Y', 0, 0});
            trailer.resize(trailer.size() + 12, 0);
            b.trailer(0, trailer);
            const auto r = summaryRows(exifJpeg(b.build().bytes));
            EXPECT_EQ(show(r.rows), show({{kMake, "Canon"}, {kModel, "XY"}}));
            EXPECT_FALSE(r.error);
        }
    }
}

TEST(ExifReaderTest, UnknownTagsAreSteppedOverWhateverTheirFields)
{
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        SCOPED_TRACE(orderName(order));
        TiffBuilder b(order);
        b.rawEntry(0, 0x0001, kAscii, 0xFFFFFFFFU, 0xFFFFFF00U);
        b.rawEntry(0, 0x927C, 7, 0x7FFFFFFFU, 0xFFFFFF00U);
        b.rawEntry(0, 0xFFFF, 0xFFFF, 0xFFFFFFFFU, 0xFFFFFFFFU);
        b.shortValue(0, tag::IsoSpeedRatings, 100);
        const auto r = summaryRows(exifJpeg(b.build().bytes));
        EXPECT_EQ(show(r.rows), show({{kIso, "100"}}));
        EXPECT_FALSE(r.error);
    }
}

TEST(ExifReaderTest, EndOfFileBoundsTheWalk)
{
    // Files whose IFD0 holds Make "ABC" (then ISO 100 when `iso`), cut `past` bytes after the end
    // of the first entry; or, with `ifd0` set, whole files whose IFD0 offset is `ifd0`.
    struct Case
    {
        const char *name;
        bool iso;
        std::size_t past;
        Rows rows;
        std::optional<ExifErrorKind> error;
        std::uint32_t ifd0 = 0;
    };
    const ExifErrorKind pastEnd = ExifErrorKind::ReadPastEnd;
    const Case cases[] = {
        {"IFD0 offset past the end", false, 0, {}, {}, 0x10000000U},
        {"the largest IFD0 offset", false, 0, {}, {}, 0xFFFFFFFEU},
        {"the file ends right after a complete entry", false, 0, {{kMake, "ABC"}}, {}},
        {"the file ends after the first byte of a tag", false, 1, {{kMake, "ABC"}}, pastEnd},
        {"a zero tag ends the walk at the very end of the file", false, 2, {{kMake, "ABC"}}, {}},
        {"the file ends inside the count of an entry", true, 6, {{kMake, "ABC"}}, pastEnd},
        {"the file ends inside a short value", true, 9, {{kMake, "ABC"}}, pastEnd},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + orderName(order));
            TiffBuilder b(order);
            b.ascii(0, tag::Make, c.ifd0 != 0 ? "Canon" : "ABC");
            if (c.iso)
                b.shortValue(0, tag::IsoSpeedRatings, 100);
            if (c.ifd0 != 0)
                b.setIfd0Offset(c.ifd0);
            const BuiltTiff t = b.build();
            Bytes f = exifJpeg(t.bytes);
            if (c.ifd0 == 0)
                f.resize(morvane::testsupport::kTiffStart + t.ifdOffsets[0] + 2 + 12 + c.past);
            const auto r = summaryRows(f);
            EXPECT_EQ(show(r.rows), show(c.rows));
            EXPECT_EQ(errorOf(r), errorOf(c.error));
        }
    }
}

// A camera-like block whose out-of-line values are all read and end exactly where the TIFF
// bytes end, so every byte up to there matters to the result.
BuiltTiff truncationFixture(ByteOrder order)
{
    TiffBuilder b(order);
    const std::size_t d = b.addIfd();
    b.ascii(0, tag::Model, "EOS"); // inline
    b.ascii(0, tag::Make, "Canon"); // at an offset in IFD0's data
    b.pointer(0, tag::ExifPointer, d);
    b.rational(d, tag::ExposureTime, 1, 125);
    b.shortValue(d, tag::IsoSpeedRatings, 100);
    b.ascii(d, tag::DateTimeOriginal, "2004:05:12 10:20:30"); // 20 bytes with its NUL
    b.rational(d, tag::FocalLength, 50, 1);
    return b.build();
}

// A file that held `bytes` when it was opened and has since shrunk to its first `left` bytes.
class ShrunkSource final : public morvane::exif::ByteSource
{
public:
    ShrunkSource(const Bytes &bytes, std::size_t left)
        : m_now(std::span(bytes).first(left))
        , m_size(bytes.size())
    {}
    [[nodiscard]] std::uint64_t size() const override { return m_size; }
    [[nodiscard]] std::size_t read(std::uint64_t pos, std::span<std::uint8_t> out) override
    {
        return m_now.read(pos, out);
    }

private:
    morvane::exif::MemorySource m_now;
    std::uint64_t m_size;
};

TEST(ExifReaderTest, TruncatedAtEveryLength)
{
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        SCOPED_TRACE(orderName(order));
        const BuiltTiff tiff = truncationFixture(order);
        const Bytes file = exifJpeg(tiff.bytes);
        const std::size_t tiffEnd = morvane::testsupport::kTiffStart + tiff.bytes.size();
        const auto full = summaryRows(file);
        const ExifErrorKind pastEnd = ExifErrorKind::ReadPastEnd;
        ASSERT_FALSE(full.error);
        ASSERT_EQ(show(full.rows),
            show({{kModel, "EOS"},
                {kMake, "Canon"},
                {kShutter, "1/125(s)"},
                {kIso, "100"},
                {"撮影日時：", "2004:05:12 10:20:30"},
                {"焦点距離：", "50mm"}}));
        for (std::size_t n = 0; n <= file.size(); ++n) {
            SCOPED_TRACE(n);
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            const auto r = summaryRows(cut);
            ASSERT_LE(r.rows.size(), full.rows.size());
            for (std::size_t i = 0; i < r.rows.size(); ++i)
                EXPECT_EQ(r.rows[i], full.rows[i]);
            if (r.error) {
                EXPECT_EQ(r.error->kind, ExifErrorKind::ReadPastEnd);
            }
            if (n < 2) {
                EXPECT_TRUE(r.rows.empty());
                EXPECT_FALSE(r.error);
            } else if (n < tiffEnd) {
                EXPECT_TRUE(r.error || r.rows.size() < full.rows.size());
            } else {
                EXPECT_FALSE(r.error);
                EXPECT_EQ(r.rows.size(), full.rows.size());
            }
            // Shrunk to n bytes after it was opened: the walk needs every byte of the TIFF
            // block, so a missing one is the read error, never a shorter normal end.
            ShrunkSource shrunk(file, n);
            const auto s = summaryRows(shrunk);
            ASSERT_LE(s.rows.size(), full.rows.size());
            for (std::size_t i = 0; i < s.rows.size(); ++i)
                EXPECT_EQ(s.rows[i], full.rows[i]);
            EXPECT_EQ(errorOf(s), errorOf(n < tiffEnd ? pastEnd : std::optional<ExifErrorKind>()));
        }
        // Two cuts worked out by hand: inside IFD0's second entry (after the inline Model),
        // and inside the exposure time's value (after all of IFD0).
        const std::size_t insideSecondEntry =
            morvane::testsupport::kTiffStart + tiff.ifdOffsets[0] + 2 + 12 + 5;
        const auto a = summaryRows(Bytes(file.begin(), file.begin() + insideSecondEntry));
        EXPECT_EQ(show(a.rows), show({{kModel, "EOS"}}));
        EXPECT_EQ(errorOf(a), errorOf(ExifErrorKind::ReadPastEnd));
        const std::size_t endOfExifEntries =
            morvane::testsupport::kTiffStart + tiff.endOfEntries[1] + 4;
        const auto b = summaryRows(Bytes(file.begin(), file.begin() + endOfExifEntries + 3));
        EXPECT_EQ(show(b.rows), show({{kModel, "EOS"}, {kMake, "Canon"}}));
        EXPECT_EQ(errorOf(b), errorOf(ExifErrorKind::ReadPastEnd));
    }
}

TEST(ExifReaderTest, RowsAreLimitedButTheWalkGoesOn)
{
    struct Case
    {
        const char *name;
        int isoEntries;
        std::function<void(TiffBuilder &)> tail;
        std::size_t rows;
        std::optional<ExifErrorKind> error;
    };
    const Case cases[] = {
        {"1500 rows are cut to the limit", 1500, [](TiffBuilder &) {}, 1000, {}},
        {"a failure past the limit is still reported",
            1500,
            [](TiffBuilder &b) {
                b.rational(0, tag::FocalLength, 1, 0);
            },
            1000,
            ExifErrorKind::DivisionByZero},
        {"an exposure time past the limit still hides the shutter speed value",
            1200,
            [](TiffBuilder &b) {
                b.rational(0, tag::ExposureTime, 1, 125);
                b.rawEntry(0, tag::ShutterSpeedValue, 10, 1, 0xFFFFFF00U);
            },
            1000,
            {}},
        {"a text past the limit that lies past the end still fails",
            1200,
            [](TiffBuilder &b) {
                b.rawEntry(0, tag::Make, kAscii, 100, 0xFFFFFF00U);
            },
            1000,
            ExifErrorKind::ReadPastEnd},
        {"below the limit nothing is cut", 999, [](TiffBuilder &) {}, 999, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TiffBuilder b(ByteOrder::Little);
        for (int i = 0; i < c.isoEntries; ++i)
            b.shortValue(0, tag::IsoSpeedRatings, static_cast<std::uint16_t>(i));
        c.tail(b);
        const auto r = summaryRows(exifJpeg(b.build().bytes));
        ASSERT_EQ(r.rows.size(), c.rows);
        EXPECT_EQ(r.rows.back().value, std::to_string(c.rows - 1));
        EXPECT_EQ(errorOf(r), errorOf(c.error));
    }
}

TEST(ExifReaderTest, ManyLongTextsStayBounded)
{
    // 100,000 Make entries that all point at the same megabyte: read in full, they would copy
    // 100 GB. Only the first 1024 bytes of each of the first 1000 are kept.
    constexpr std::size_t kEntries = 100000;
    constexpr std::uint32_t kRegion = 1 << 20;
    const auto make = [&](std::uint32_t regionOffset) {
        TiffBuilder b(ByteOrder::Big);
        for (std::size_t i = 0; i < kEntries; ++i)
            b.rawEntry(0, tag::Make, kAscii, kRegion, regionOffset);
        Bytes region(kRegion, 'a');
        b.trailer(0, region);
        return b.build();
    };
    const BuiltTiff first = make(0);
    const BuiltTiff tiff = make(first.endOfEntries[0] + 4);
    const auto r = summaryRows(exifJpeg(tiff.bytes));
    EXPECT_FALSE(r.error);
    ASSERT_EQ(r.rows.size(), morvane::exif::kMaxRows);
    EXPECT_EQ(r.rows.front().value, std::string(1024, 'a') + "…");
    EXPECT_EQ(r.rows.back().value, std::string(1024, 'a') + "…");
}

TEST(ExifReaderTest, WalksFiftyMegabytesWithoutADirectoryEnd)
{
    // A 50 MB file of unknown entries and no zero tag: the walk steps to the end of the file.
    TiffBuilder b(ByteOrder::Little);
    b.ascii(0, tag::Make, "ABC");
    Bytes file = exifJpeg(b.build().bytes);
    file.resize(file.size() - 6); // drop the link and the end marker: the entries go on
    const std::size_t entries = (50u << 20) / 12;
    const Bytes unknown = {0x01, 0x00, 0x07, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    file.reserve(file.size() + entries * 12 + 12);
    for (std::size_t i = 0; i < entries; ++i)
        file.insert(file.end(), unknown.begin(), unknown.end());
    const Bytes last = {0x27, 0x88, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00};
    file.insert(file.end(), last.begin(), last.end()); // an ISO entry as the very last one
    const auto r = summaryRows(file);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(show(r.rows), show({{kMake, "ABC"}, {kIso, "100"}}));
}

// The sink contract: raw terms in the file's byte order, and a sink's error ends the walk.
class RecordingSink final : public morvane::exif::ExifEntrySink
{
public:
    void noExif() override { ++noExifCalls; }
    [[nodiscard]] morvane::exif::ValueRequest request(std::uint16_t) const override
    {
        return morvane::exif::ValueRequest::Decode;
    }
    [[nodiscard]] std::optional<morvane::exif::ExifError> entry(
        const morvane::exif::ExifEntry &e) override
    {
        entries.push_back(e);
        if (e.tag == failOn)
            return morvane::exif::makeError(ExifErrorKind::Overflow);
        return std::nullopt;
    }
    int noExifCalls = 0;
    std::uint16_t failOn = 0xFFFF;
    std::vector<morvane::exif::ExifEntry> entries;
};

TEST(ExifReaderTest, SinkReceivesRawTermsAndCanStopTheWalk)
{
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        SCOPED_TRACE(orderName(order));
        TiffBuilder b(order);
        b.srational(0, tag::ExposureBiasValue, -1, 3);
        b.rational(0, tag::FocalLength, 0x12345678U, 0x9ABCDEF0U);
        b.shortValue(0, tag::Flash, 0x1234);
        b.shortValue(0, tag::MeteringMode, 2);
        RecordingSink sink;
        sink.failOn = tag::Flash;
        const auto error = morvane::exif::walkExif(exifJpeg(b.build().bytes), sink);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, ExifErrorKind::Overflow);
        ASSERT_EQ(sink.entries.size(), 3u);
        EXPECT_EQ(sink.entries[0].numerator, 0xFFFFFFFFU);
        EXPECT_EQ(sink.entries[0].denominator, 3u);
        EXPECT_EQ(sink.entries[1].numerator, 0x12345678U);
        EXPECT_EQ(sink.entries[1].denominator, 0x9ABCDEF0U);
        EXPECT_EQ(sink.entries[2].number, 0x1234u);
        EXPECT_EQ(sink.noExifCalls, 0);
    }
}

} // namespace
