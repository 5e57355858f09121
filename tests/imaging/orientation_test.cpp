// SPDX-License-Identifier: GPL-3.0-or-later
// The Orientation readers on blocks built here: the value where each container keeps it, and
// nothing from damaged or cut blocks.
#include "imaging/orientation.h"

#include <gtest/gtest.h>
#include <string>

using namespace morvane::imaging;

namespace {

using namespace std::string_literals;

// A TIFF block whose first directory holds one entry: tag, type, count and a short value.
std::string tiff(bool big, int tag, int type, int value, int count = 1)
{
    const auto u16 = [big](int v) {
        return big ? std::string {char(v >> 8), char(v & 0xFF)}
                   : std::string {char(v & 0xFF), char(v >> 8)};
    };
    const auto u32 = [&](int v) {
        return big ? u16(v >> 16) + u16(v & 0xFFFF) : u16(v & 0xFFFF) + u16(v >> 16);
    };
    return (big ? "MM\0*"s : "II*\0"s) + u32(8) + u16(1) + u16(tag) + u16(type) + u32(count)
        + u16(value) + u16(0) + u32(0);
}

std::string withLength16(const std::string &payload)
{
    const auto n = payload.size() + 2;
    return std::string {char(n >> 8), char(n & 0xFF)} + payload;
}

std::string be32(std::size_t v)
{
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

std::string le32(std::size_t v)
{
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

int read(int (*reader)(std::span<const unsigned char>) noexcept, const std::string &bytes)
{
    return reader({reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size()});
}

} // namespace

TEST(OrientationTest, EachContainerGivesItsValueAndDamageGivesNone)
{
    const std::string six = tiff(false, 0x0112, 3, 6);
    const std::string exifSix = "Exif\0\0"s + six;
    const std::string app0 = "\xFF\xE0"s + withLength16("JFIF\0\1\2\0\0\1\0\1\0\0"s);
    const std::string png = "\x89PNG\r\n\x1a\n"s;
    const struct
    {
        const char *name;
        int (*reader)(std::span<const unsigned char>) noexcept;
        std::string bytes;
        int expected;
    } rows[] = {
        {"tiff little-endian", &tiffOrientation, six, 6},
        {"tiff big-endian", &tiffOrientation, tiff(true, 0x0112, 3, 8), 8},
        {"tiff value 9", &tiffOrientation, tiff(false, 0x0112, 3, 9), 0},
        {"tiff value 0", &tiffOrientation, tiff(false, 0x0112, 3, 0), 0},
        {"tiff long type", &tiffOrientation, tiff(false, 0x0112, 4, 6), 0},
        {"tiff count 0", &tiffOrientation, tiff(false, 0x0112, 3, 6, 0), 0},
        {"tiff other tag", &tiffOrientation, tiff(false, 0x010F, 3, 6), 0},
        {"tiff header only", &tiffOrientation, "II*\0"s, 0}, // read past the end before
        {"tiff cut in the entry", &tiffOrientation, six.substr(0, 20), 0},
        {"tiff directory past the end", &tiffOrientation, "II*\0\xFF\xFF\xFF\x7F"s, 0},
        {"jpeg Exif first", &jpegOrientation, "\xFF\xD8\xFF\xE1"s + withLength16(exifSix), 6},
        {"jpeg Exif after JFIF",
            &jpegOrientation,
            "\xFF\xD8"s + app0 + "\xFF\xE1"s + withLength16(exifSix),
            6},
        {"jpeg Exif after the scan",
            &jpegOrientation,
            "\xFF\xD8\xFF\xDA\0\2\xFF\xE1"s + withLength16(exifSix),
            0},
        {"jpeg segment longer than the file",
            &jpegOrientation,
            "\xFF\xD8\xFF\xE1\xFF\xFF"s + exifSix,
            0},
        {"jpeg without SOI", &jpegOrientation, "\xFF\xE1"s + withLength16(exifSix), 0},
        {"png eXIf", &pngOrientation, png + be32(six.size()) + "eXIf"s + six + "CRC!"s, 6},
        {"png eXIf cut", &pngOrientation, png + be32(six.size()) + "eXIf"s + six, 0},
        {"png eXIf after IEND",
            &pngOrientation,
            png + be32(0) + "IENDCRC!"s + be32(six.size()) + "eXIf"s + six + "CRC!"s,
            0},
        {"webp EXIF with prefix",
            &webpOrientation,
            "RIFF\0\0\0\0WEBPEXIF"s + le32(exifSix.size()) + exifSix,
            6},
        {"webp EXIF without prefix",
            &webpOrientation,
            "RIFF\0\0\0\0WEBPVP8X"s + le32(1) + "x\0EXIF"s + le32(six.size()) + six,
            6},
        {"webp EXIF cut",
            &webpOrientation,
            "RIFF\0\0\0\0WEBPEXIF"s + le32(exifSix.size() + 1) + exifSix,
            0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(read(r.reader, r.bytes), r.expected);
    }
}
