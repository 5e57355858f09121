// SPDX-License-Identifier: GPL-3.0-or-later
// The Exif block of every container, found by the file's first bytes: files assembled in code
// (hostile ones included), then files written by Debian's tools and read back by exiftool.
#include "exif/containerfiles.h"
#include "exif/exifcases.h"
#include "exif/exifcontainers.h"
#include "exif/orientationwrite.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using morvane::exif::ExifErrorKind;
using morvane::exif::ExifRow;
using namespace morvane::exiftest;
using morvane::testsupport::ByteOrder;
using Rows = std::vector<ExifRow>;
using morvane::testsupport::TiffBuilder;
using namespace std::string_literals;
using namespace std::string_view_literals;

// `tiff` with its first four bytes replaced by a RAW maker's magic.
Bytes withMagic(Bytes tiff, std::string_view magic)
{
    std::copy(magic.begin(), magic.end(), tiff.begin());
    return tiff;
}

// `file` cut to `size` bytes, and with the byte at `at` replaced.
Bytes withSize(Bytes file, std::size_t size)
{
    file.resize(size);
    return file;
}
Bytes withByte(Bytes file, std::size_t at, std::uint8_t value)
{
    file[at] = value;
    return file;
}

// A JPEG XL "brob" box: the type of the box it holds, then that box's payload compressed.
Bytes brob(std::string_view type, const Bytes &payload)
{
    return box("brob", concat({bytesOf(type), brotliCompressed(payload)}));
}

// A CR3: ftyp "crx ", then moov { uuid { Canon's id, `parts` (CMT boxes) } }.
Bytes cr3(std::initializer_list<Bytes> parts, std::uint8_t idFirst = 0x85)
{
    // clang-format off
    const Bytes id = {
        idFirst, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0, 0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
    // clang-format on
    Bytes uuid = id;
    for (const Bytes &p : parts)
        uuid = concat({uuid, p});
    return concat({box("ftyp", bytesOf("crx ")), box("moov", box("uuid", uuid))});
}

Bytes raf(const Bytes &jpeg)
{
    Bytes head = bytesOf("FUJIFILMCCD-RAW 0201FF383501");
    head.resize(84, 0);
    const auto offset = static_cast<std::uint32_t>(100);
    for (const std::uint32_t v : {offset, static_cast<std::uint32_t>(jpeg.size())}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            head.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    head.resize(offset, 0);
    return concat({head, jpeg});
}

// A segment: FF, the marker, the big-endian length (payload + 2), the payload.
Bytes segment(std::uint8_t marker, std::string_view payload)
{
    const std::size_t length = payload.size() + 2;
    Bytes s = {
        0xFF, marker, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    for (const char c : payload)
        s.push_back(static_cast<std::uint8_t>(c));
    return s;
}

// SOI, then the pieces in order.
Bytes joined(std::initializer_list<Bytes> pieces)
{
    Bytes f = {0xFF, 0xD8};
    for (const Bytes &p : pieces)
        f.insert(f.end(), p.begin(), p.end());
    return f;
}

TEST(ExifContainersTest, JpegExifSegmentIsFoundAmongTheLeadingSegments)
{
    TiffBuilder canon(ByteOrder::Big);
    canon.ascii(0, morvane::exif::tag::Make, "Canon");
    const Bytes tiff = canon.build().bytes;
    const Bytes exif = segment(0xE1, "Exif\0\0"s + std::string(tiff.begin(), tiff.end()));
    const Bytes app0 = segment(0xE0, "JFIF\0\x01\x02"sv);
    const Bytes eoi = {0xFF, 0xD9};
    const Rows canonRow = {{"メーカー名：", "Canon"}};
    struct Case
    {
        const char *name;
        Bytes file;
        Rows rows;
        std::optional<ExifErrorKind> error;
    };
    const Case cases[] = {
        {"after APP0", joined({app0, exif, eoi}), canonRow, {}},
        {"after APP0, a colour profile and a comment",
            joined({app0, segment(0xE2, "ICC_PROFILE"sv), segment(0xFE, "hello"sv), exif, eoi}),
            canonRow,
            {}},
        {"after an XMP APP1",
            joined({app0, segment(0xE1, "http://ns.adobe.com/xap/1.0/"sv), exif}),
            canonRow,
            {}},
        {"fill bytes between segments", joined({app0, {0xFF, 0xFF}, exif}), canonRow, {}},
        {"after APP0 whose length is 2", joined({segment(0xE0, ""sv), exif}), canonRow, {}},
        {"a quantisation table ends the leading segments",
            joined({app0, segment(0xDB, "table"sv), exif}),
            {kNoExif},
            {}},
        {"a length below 2 ends the search",
            joined({{0xFF, 0xE0, 0x00, 0x01}, exif}),
            {kNoExif},
            {}},
        {"a byte that is no marker ends the search", joined({app0, {0x00}, exif}), {kNoExif}, {}},
        {"APP0 longer than the file", joined({{0xFF, 0xE0, 0x40, 0x00}, exif}), {kNoExif}, {}},
        {"an APP1 without the Exif identifier only",
            joined({app0, segment(0xE1, "Exif"sv)}),
            {kNoExif},
            {}},
        {"a later Exif segment cut in its TIFF header",
            joined({app0, segment(0xE1, "Exif\0\0MM"sv)}),
            {},
            ExifErrorKind::ReadPastEnd},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = morvane::exif::summaryRows(c.file);
        EXPECT_EQ(show(r.rows), show(c.rows));
        EXPECT_EQ(
            errorText(r.error ? std::optional(r.error->kind) : std::nullopt), errorText(c.error));
    }
}

TEST(ExifContainersTest, EachContainerLeadsToTheOneWalk)
{
    const Bytes le = sampleTiff(ByteOrder::Little);
    const Bytes be = sampleTiff(ByteOrder::Big);
    const Bytes prefixed = concat({bytesOf(std::string_view("Exif\0\0", 6)), be});
    const Bytes text =
        concat({bytesOf(std::string_view("Raw profile type exif\0", 22)), rawProfile(prefixed)});
    const Bytes ztxt = concat({bytesOf(std::string_view("Raw profile type exif\0\0", 23)),
        zlibCompressed(rawProfile(prefixed))});
    const Bytes itxt = concat({bytesOf(std::string_view("Raw profile type exif\0\x01\0en\0\0", 28)),
        zlibCompressed(rawProfile(le))});
    const Bytes app1Profile =
        concat({bytesOf(std::string_view("Raw profile type APP1\0", 22)), rawProfile(prefixed)});
    const Bytes xmpProfile = concat({bytesOf(std::string_view("Raw profile type APP1\0", 22)),
        rawProfile(bytesOf("<x:xmpmeta>"))});
    const Bytes pngWhole = png({pngChunk("eXIf", be)});
    // All three cut 50 bytes into the TIFF block: the first directory is whole, the Make text is
    // not.
    const Bytes cutPng(pngWhole.begin(), pngWhole.begin() + 41 + 50);
    const Bytes webpWhole = webp({riffChunk("EXIF", be)});
    const Bytes cutWebp(webpWhole.begin(), webpWhole.begin() + 38 + 50);
    const Bytes heifWhole = heif(withOffsetField(be));
    const Bytes cutHeif(
        heifWhole.begin(), heifWhole.end() - static_cast<std::ptrdiff_t>(be.size()) + 50);
    const Rows all = sampleRows();
    const Rows make = {all[0]};
    // A CR3's first directory and its Exif directory, each a TIFF of its own.
    const auto cmt = [](ByteOrder order, bool exifPart) {
        TiffBuilder b(order);
        if (exifPart) {
            b.shortValue(0, morvane::exif::tag::IsoSpeedRatings, 100);
        } else {
            b.ascii(0, morvane::exif::tag::Make, "Canon");
            b.shortValue(0, 0x0112, 6);
        }
        return b.build().bytes;
    };
    const Bytes cmt1 = box("CMT1", cmt(ByteOrder::Little, false));
    const Bytes cmt2 = box("CMT2", cmt(ByteOrder::Little, true));
    struct Case
    {
        const char *name;
        Bytes file;
        Rows rows;
        std::optional<ExifErrorKind> error;
        std::optional<int> orientation;
    };
    const Case cases[] = {
        {"TIFF, little-endian", le, all, {}, 6},
        {"TIFF, big-endian", be, all, {}, 6},
        {"ORF IIRO", withMagic(le, "IIRO"), all, {}, 6},
        {"ORF IIRS", withMagic(le, "IIRS"), all, {}, 6},
        {"ORF MMOR", withMagic(be, "MMOR"), all, {}, 6},
        {"RW2", withMagic(le, std::string_view("IIU\0", 4)), all, {}, 6},
        {"RAF", raf(morvane::testsupport::jfifJpeg(be)), all, {}, 6},
        {"JPEG after JFIF", morvane::testsupport::jfifJpeg(be), all, {}, 6},
        {"PNG eXIf", png({pngChunk("eXIf", be)}), all, {}, 6},
        {"PNG eXIf after the picture data",
            png({pngChunk("IDAT", Bytes(50, 1)), pngChunk("eXIf", le)}),
            all,
            {},
            6},
        {"PNG eXIf with an Exif prefix", png({pngChunk("eXIf", prefixed)}), all, {}, 6},
        {"PNG tEXt raw profile", png({pngChunk("tEXt", text)}), all, {}, 6},
        {"PNG zTXt raw profile", png({pngChunk("zTXt", ztxt)}), all, {}, 6},
        {"PNG iTXt raw profile, compressed", png({pngChunk("iTXt", itxt)}), all, {}, 6},
        {"PNG APP1 raw profile holding Exif", png({pngChunk("tEXt", app1Profile)}), all, {}, 6},
        {"PNG eXIf wins over a raw profile",
            png({pngChunk("tEXt", app1Profile), pngChunk("eXIf", sampleTiff())}),
            all,
            {},
            6},
        {"PNG APP1 raw profile holding XMP",
            png({pngChunk("tEXt", xmpProfile)}),
            {kNoExif},
            {},
            {}},
        {"PNG empty text chunk", png({pngChunk("tEXt", {})}), {kNoExif}, {}, {}},
        {"PNG raw profile of no bytes",
            png({pngChunk(
                "tEXt", bytesOf(std::string_view("Raw profile type exif\0\nexif\n0\n", 29)))}),
            {kNoExif},
            {},
            {}},
        {"PNG without Exif",
            png({pngChunk("tEXt", bytesOf(std::string_view("Comment\0hi", 10)))}),
            {kNoExif},
            {},
            {}},
        {"PNG zTXt that does not inflate",
            png({pngChunk(
                "zTXt", bytesOf(std::string_view("Raw profile type exif\0\0garbage", 30)))}),
            {kNoExif},
            {},
            {}},
        {"PNG eXIf cut by the end of the file", cutPng, {}, ExifErrorKind::ReadPastEnd, 6},
        {"PNG chunk longer than the file",
            png({{0x7F, 0xFF, 0xFF, 0xF0, 't', 'E', 'X', 't'}, pngChunk("eXIf", be)}),
            {kNoExif},
            {},
            {}},
        {"WebP EXIF", webp({riffChunk("EXIF", le)}), all, {}, 6},
        {"WebP EXIF with an Exif prefix, after an odd chunk",
            webp({riffChunk("ICCP", Bytes(3, 7)), riffChunk("EXIF", prefixed)}),
            all,
            {},
            6},
        {"WebP without EXIF", webp({riffChunk("VP8 ", Bytes(20, 0))}), {kNoExif}, {}, {}},
        {"WebP EXIF cut by the end of the file", cutWebp, {}, ExifErrorKind::ReadPastEnd, 6},
        {"HEIF", heif(withOffsetField(be)), all, {}, 6},
        {"HEIF with an Exif prefix behind the offset",
            heif(withOffsetField(prefixed, 6)),
            all,
            {},
            6},
        {"HEIF item in three extents", heif(withOffsetField(le), {3, false, 0}), all, {}, 6},
        {"HEIF item in the idat box", heif(withOffsetField(be), {1, true, 0}), all, {}, 6},
        {"HEIF extent past the end of the file",
            heif(withOffsetField(be), {1, false, 100000}),
            {kNoExif},
            {},
            {}},
        {"HEIF idat extent past the box",
            heif(withOffsetField(be), {1, true, 5000}),
            {kNoExif},
            {},
            {}},
        {"HEIF offset field past the item",
            heif(withOffsetField(be, 0xFFFFFFF0U)),
            {kNoExif},
            {},
            {}},
        {"HEIF item cut by the end of the file", cutHeif, {}, ExifErrorKind::ReadPastEnd, 6},
        {"ISO BMFF without meta",
            concat({box("ftyp", bytesOf("avif")), box("mdat", be)}),
            {kNoExif},
            {},
            {}},
        {"JPEG XL Exif box", jxl({box("Exif", withOffsetField(be))}), all, {}, 6},
        {"JPEG XL Exif box with a prefix",
            jxl({box("Exif", withOffsetField(prefixed, 6))}),
            all,
            {},
            6},
        {"JPEG XL without Exif", jxl({box("xml ", bytesOf("<x/>"))}), {kNoExif}, {}, {}},
        {"JPEG XL box whose size is below its header",
            jxl({{0, 0, 0, 4, 'E', 'x', 'i', 'f'}, box("Exif", withOffsetField(be))}),
            {kNoExif},
            {},
            {}},
        {"JPEG XL box of 64-bit size",
            jxl({concat({{0, 0, 0, 1},
                bytesOf("Exif"),
                {0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(be.size() + 20)},
                withOffsetField(be)})}),
            all,
            {},
            6},
        {"JPEG XL Brotli-compressed Exif box",
            jxl({brob("Exif", withOffsetField(be))}),
            all,
            {},
            6},
        {"JPEG XL Exif box after a compressed XMP box",
            jxl({brob("xml ", bytesOf("<x/>")), brob("Exif", withOffsetField(prefixed, 6))}),
            all,
            {},
            6},
        {"JPEG XL compressed Exif box cut short",
            jxl({withSize(brob("Exif", withOffsetField(be)), 20)}),
            {kNoExif},
            {},
            {}},
        {"JPEG XL compressed Exif box that does not decompress",
            jxl({box("brob", concat({bytesOf("Exif"), Bytes(40, 0xEE)}))}),
            {kNoExif},
            {},
            {}},
        {"bare JPEG XL codestream", {0xFF, 0x0A, 0x00, 0x11}, {}, {}, {}},
        {"CR3", cr3({cmt1, cmt2}), all, {}, 6},
        {"CR3 without its Exif part", cr3({cmt1}), make, {}, 6},
        {"CR3 Exif part of the other byte order",
            cr3({cmt1, box("CMT2", cmt(ByteOrder::Big, true))}),
            make,
            {},
            6},
        {"CR3 without Canon's box", cr3({cmt1, cmt2}, 0x84), {kNoExif}, {}, {}},
        {"BigTIFF, little-endian, IFD8 pointer", bigTiff({}), all, {}, 6},
        {"BigTIFF, big-endian, LONG8 pointer", bigTiff({ByteOrder::Big, 16}), all, {}, 6},
        {"BigTIFF, LONG pointer", bigTiff({ByteOrder::Little, 4}), all, {}, 6},
        {"BigTIFF, Exif pointer past the end", bigTiff({ByteOrder::Little, 18, 5000}), make, {}, 6},
        {"BigTIFF, Exif pointer over 32 bits",
            bigTiff({ByteOrder::Little, 18, std::uint64_t {1} << 32}),
            make,
            {},
            6},
        {"BigTIFF, 2^40 entries",
            bigTiff({ByteOrder::Little, 18, 0, std::uint64_t {1} << 40}),
            {kNoExif},
            {},
            {}},
        {"BigTIFF cut in its first directory", withSize(bigTiff({}), 60), {kNoExif}, {}, {}},
        {"BigTIFF with 4-byte offsets", withByte(bigTiff({}), 4, 4), {kNoExif}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = morvane::exif::summaryRows(c.file);
        EXPECT_EQ(show(r.rows), show(c.rows));
        EXPECT_EQ(
            errorText(r.error ? std::optional(r.error->kind) : std::nullopt), errorText(c.error));
        EXPECT_EQ(morvane::exif::orientation(c.file), c.orientation);
    }
}

TEST(ExifContainersTest, OrientationComesFromTheFirstDirectoryOnly)
{
    struct Case
    {
        const char *name;
        std::function<void(TiffBuilder &)> fill;
        std::optional<int> orientation;
    };
    const Case cases[] = {
        {"1",
            [](TiffBuilder &b) {
                b.shortValue(0, 0x0112, 1);
            },
            1},
        {"8",
            [](TiffBuilder &b) {
                b.shortValue(0, 0x0112, 8);
            },
            8},
        {"stored as a long",
            [](TiffBuilder &b) {
                b.longValue(0, 0x0112, 3);
            },
            3},
        {"0 is no orientation",
            [](TiffBuilder &b) {
                b.shortValue(0, 0x0112, 0);
            },
            {}},
        {"9 is no orientation",
            [](TiffBuilder &b) {
                b.shortValue(0, 0x0112, 9);
            },
            {}},
        {"after other entries",
            [](TiffBuilder &b) {
                b.ascii(0, 0x010F, "Canon");
                b.shortValue(0, 0x0112, 5);
            },
            5},
        {"only in the Exif directory",
            [](TiffBuilder &b) {
                const std::size_t d = b.addIfd();
                b.pointer(0, 0x8769, d);
                b.shortValue(d, 0x0112, 6);
            },
            {}},
        {"none",
            [](TiffBuilder &b) {
                b.ascii(0, 0x010F, "Canon");
            },
            {}},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            TiffBuilder b(order);
            c.fill(b);
            const Bytes tiff = b.build().bytes;
            EXPECT_EQ(morvane::exif::orientation(tiff), c.orientation);
            EXPECT_EQ(
                morvane::exif::orientation(morvane::testsupport::exifJpeg(tiff)), c.orientation);
            // A JPEG's slot holds the value, right after SOI or after a JFIF APP0, and a value
            // written there is read back; a TIFF file has no JPEG slot.
            EXPECT_EQ(morvane::exif::jpegOrientationSlot(tiff), std::nullopt);
            for (Bytes jpeg :
                {morvane::testsupport::exifJpeg(tiff), morvane::testsupport::jfifJpeg(tiff)}) {
                const auto slot = morvane::exif::jpegOrientationSlot(jpeg);
                ASSERT_EQ(slot.has_value(), c.orientation.has_value());
                if (!slot)
                    continue;
                EXPECT_EQ(slot->value, c.orientation);
                EXPECT_EQ(slot->bigEndian, order == ByteOrder::Big);
                const int next = *c.orientation % 8 + 1;
                const std::vector<std::uint8_t> value = morvane::exif::slotBytes(*slot, next);
                ASSERT_EQ(value.size(), static_cast<std::size_t>(slot->width));
                const Bytes before = jpeg;
                std::copy(value.begin(), value.end(), jpeg.begin() + std::ptrdiff_t(slot->pos));
                EXPECT_EQ(morvane::exif::orientation(jpeg), next);
                std::size_t changed = 0;
                for (std::size_t i = 0; i < jpeg.size(); ++i)
                    changed += jpeg[i] != before[i] ? 1 : 0;
                EXPECT_EQ(changed, 1U);
            }
        }
    }
    // No Exif at all, and an APP1 right after SOI that is not Exif (XMP), have no slot.
    EXPECT_EQ(morvane::exif::jpegOrientationSlot(morvane::testsupport::jfifJpeg()), std::nullopt);
    TiffBuilder b(ByteOrder::Little);
    b.shortValue(0, 0x0112, 6);
    Bytes xmp = morvane::testsupport::exifJpeg(b.build().bytes);
    std::copy_n("http", 4, xmp.begin() + 6);
    EXPECT_EQ(morvane::exif::jpegOrientationSlot(xmp), std::nullopt);
}

// The edits applied from the last to the first, as the file rewrite does.
Bytes edited(Bytes file, const std::vector<morvane::exif::ByteEdit> &edits)
{
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        const auto at = file.begin() + std::ptrdiff_t(e->pos);
        EXPECT_TRUE(std::equal(e->before.begin(), e->before.end(), at));
        file.erase(at, at + std::ptrdiff_t(e->before.size()));
        file.insert(file.begin() + std::ptrdiff_t(e->pos), e->after.begin(), e->after.end());
    }
    return file;
}

TEST(ExifContainersTest, AMissingOrientationIsInsertedWithoutMovingAnything)
{
    const Bytes app0 = segment(0xE0, "JFIF\0\x01\x02"sv);
    const Bytes xmp = segment(0xE1, "http://ns.adobe.com/xap/1.0/"sv);
    const Bytes table = segment(0xDB, "table"sv);
    struct Case
    {
        const char *name;
        std::function<Bytes(ByteOrder)> file;
        bool written;
    };
    // Make (before 0x0112 in tag order), Software (after it), a pointer to the Exif directory
    // and an out-of-line value: all still read from their old offsets afterwards.
    auto tiff = [](ByteOrder order, std::size_t padding) {
        TiffBuilder b(order);
        b.ascii(0, morvane::exif::tag::Make, "Canon");
        if (padding > 0)
            b.ascii(0, 0x0131, std::string(padding, 'x'));
        const std::size_t d = b.addIfd();
        b.pointer(0, 0x8769, d);
        b.ascii(d, 0x9003, "2024:01:02 03:04:05");
        return b.build().bytes;
    };
    auto exif = [](const Bytes &t) {
        return segment(0xE1, "Exif\0\0"s + std::string(t.begin(), t.end()));
    };
    const Case cases[] = {
        {"Exif right after SOI",
            [&](ByteOrder o) {
                return joined({exif(tiff(o, 0)), table});
            },
            true},
        {"Exif after JFIF, entries on both sides",
            [&](ByteOrder o) {
                return joined({app0, exif(tiff(o, 9)), table});
            },
            true},
        {"odd TIFF block (a byte left after it): the directory word-aligned",
            [&](ByteOrder o) {
                Bytes t = tiff(o, 10);
                t.push_back(0);
                return joined({exif(t), table});
            },
            true},
        {"segment grown to just under 65535 bytes",
            [&](ByteOrder o) {
                return joined({exif(tiff(o, 65364)), table});
            },
            true},
        {"segment near 65535 bytes: refused",
            [&](ByteOrder o) {
                return joined({exif(tiff(o, 65420)), table});
            },
            false},
        {"Orientation already there: refused",
            [&](ByteOrder o) {
                TiffBuilder b(o);
                b.shortValue(0, 0x0112, 9);
                return joined({exif(b.build().bytes), table});
            },
            false},
        {"directory beyond the block: refused",
            [&](ByteOrder o) {
                TiffBuilder b(o);
                b.ascii(0, morvane::exif::tag::Make, "Canon");
                b.setIfd0Offset(4000);
                return joined({exif(b.build().bytes), table});
            },
            false},
        {"no Exif, JFIF",
            [&](ByteOrder) {
                return joined({app0, table});
            },
            true},
        {"no Exif, no APP0",
            [&](ByteOrder) {
                return joined({table});
            },
            true},
        {"no Exif, an XMP APP1 first",
            [&](ByteOrder) {
                return joined({xmp, table});
            },
            true},
        {"XMP first, Exif after it: refused",
            [&](ByteOrder o) {
                return joined({xmp, exif(tiff(o, 0)), table});
            },
            false},
        {"leading segments longer than the file: refused",
            [&](ByteOrder) {
                return joined({{0xFF, 0xE2, 0x40, 0x00}});
            },
            false},
        {"a TIFF file: refused",
            [&](ByteOrder o) {
                return tiff(o, 0);
            },
            false},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const Bytes file = c.file(order);
            const auto edits = morvane::exif::jpegOrientationInsert(file, 6);
            ASSERT_EQ(edits.has_value(), c.written);
            if (!edits)
                continue;
            const Bytes after = edited(file, *edits);
            // A directory written anew starts on a word boundary of the TIFF block.
            if (edits->size() == 3) {
                const std::vector<std::uint8_t> &offset = (*edits)[1].after;
                EXPECT_EQ((order == ByteOrder::Little ? offset[0] : offset[3]) % 2, 0);
                // Its entries (after the pad byte and the count) in tag order.
                const std::vector<std::uint8_t> &grown = (*edits)[2].after;
                std::vector<int> tags;
                for (std::size_t at = (grown.size() - 8) % 12 + 2; at + 12 <= grown.size() - 6;
                     at += 12) {
                    tags.push_back(order == ByteOrder::Little ? grown[at] | grown[at + 1] << 8
                                                              : grown[at] << 8 | grown[at + 1]);
                }
                EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
                EXPECT_TRUE(std::find(tags.begin(), tags.end(), 0x0112) != tags.end());
            }
            EXPECT_EQ(morvane::exif::orientation(after), 6);
            EXPECT_EQ(morvane::exif::jpegOrientationSlot(after)->value, 6);
            // Once written, the entry is there: a second insertion is refused.
            EXPECT_EQ(morvane::exif::jpegOrientationInsert(after, 3), std::nullopt);
            // The entries there were are read as before; a file without Exif now has it.
            const Rows rows = morvane::exif::summaryRows(file).rows;
            const Rows rowsAfter = morvane::exif::summaryRows(after).rows;
            if (rows == Rows {kNoExif})
                EXPECT_NE(show(rowsAfter), show(rows));
            else
                EXPECT_EQ(show(rowsAfter), show(rows));
        }
    }
}

// ---- files written by Debian's tools ----

std::string run(const std::string &command, int &status)
{
    std::string out;
    FILE *p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        status = -1;
        return out;
    }
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = ::pclose(p);
    return out;
}

Bytes readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ImageMagick's convert writes PNG, WebP, TIFF and AVIF, heif-enc HEIC and cjxl JPEG XL (a
// bare codestream, which exiftool wraps in a container to add the Exif box); exiftool then
// writes Make, Model, DateTimeOriginal and an Orientation into each. The rows and the
// orientation must agree with exiftool's own reading of the file.
TEST(ExifContainersTest, FilesWrittenByToolsAgreeWithExiftool)
{
    const std::pair<const char *, const char *> tools[] = {
        {"convert", "imagemagick"},
        {"heif-enc", "libheif-examples"},
        {"cjxl", "libjxl-tools"},
        {"exiftool", "libimage-exiftool-perl"},
    };
    int status = 0;
    for (const auto &[tool, package] : tools) {
        run(std::string("command -v ") + tool + " >/dev/null 2>&1", status);
        ASSERT_EQ(status, 0) << tool << " is missing (Debian package " << package
                             << "; scripts/setup installs it)";
    }
    const fs::path dir =
        fs::temp_directory_path() / ("morvane-exif-tools-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string d = dir.string();
    const std::string make = "cd " + d + " && convert -size 40x24 gradient:red-blue base.png"
        + " && convert base.png a.png && convert base.png a.webp && convert base.png a.tiff"
        + " && convert base.png a.avif && heif-enc -q 50 -o a.heic base.png >/dev/null"
        + " && cjxl base.png a.jxl >/dev/null 2>&1";
    run(make, status);
    ASSERT_EQ(status, 0) << make;
    const char *names[] = {"a.png", "a.webp", "a.tiff", "a.avif", "a.heic", "a.jxl"};
    int first = 1; // each format gets two of the eight orientations, all eight in all
    for (const char *name : names) {
        for (const int o : {first, first + 1}) {
            SCOPED_TRACE(std::string(name) + " orientation " + std::to_string(o));
            const std::string file = d + "/" + name;
            run("exiftool -m -q -overwrite_original -Make='Tool Maker' -Model='M 1'"
                " '-DateTimeOriginal=2026:12:10 10:20:30' -Orientation#="
                    + std::to_string(o) + " " + file,
                status);
            ASSERT_EQ(status, 0);
            const std::string et = run(
                "exiftool -m -s3 -n -Make -Model -DateTimeOriginal -Orientation " + file, status);
            ASSERT_EQ(et, "Tool Maker\nM 1\n2026:12:10 10:20:30\n" + std::to_string(o) + "\n");
            const Bytes bytes = readFile(file);
            const auto r = morvane::exif::summaryRows(bytes);
            EXPECT_EQ(show(r.rows),
                show({{"メーカー名：", "Tool Maker"},
                    {"製品名：", "M 1"},
                    {"撮影日時：", "2026:12:10 10:20:30"}}));
            EXPECT_FALSE(r.error);
            EXPECT_EQ(morvane::exif::orientation(bytes), o);
        }
        first = (first + 1) % 8 + 1;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace
