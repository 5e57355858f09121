// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// JPEG/Exif bytes assembled in code for tests: a TIFF structure (header in either byte order,
// directories whose entries carry values of every TIFF type, inline or at offsets, pointers
// between directories, cycles included), wrapped in an APP1 "Exif" segment after a start-of-image
// marker. Entries are written in the order they are added, so tests decide the walk order.
namespace morvane::testsupport {

enum class ByteOrder { Little, Big };

// TIFF field types.
enum class TiffType : std::uint16_t {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    SByte = 6,
    Undefined = 7,
    SShort = 8,
    SLong = 9,
    SRational = 10,
    Float = 11,
    Double = 12,
};

// Where things ended up in the TIFF bytes (offsets from the TIFF header's first byte).
struct BuiltTiff
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> ifdOffsets; // by directory index
    std::vector<std::uint32_t> endOfEntries; // by directory: offset of its next-directory link
};

class TiffBuilder
{
public:
    explicit TiffBuilder(ByteOrder order);

    // Directory 0 exists from the start; returns the index of a new, empty directory. Directories
    // are laid out in index order after the 8-byte header.
    std::size_t addIfd();

    // Typed entries: the count is the number of values, the payload is encoded in the builder's
    // byte order and stands in the value field when it fits in 4 bytes, else at an offset.
    TiffBuilder &ascii(std::size_t ifd, std::uint16_t tag, std::string_view text); // NUL added
    TiffBuilder &bytes(std::size_t ifd,
        std::uint16_t tag,
        TiffType type, // Byte, SByte, Undefined or Ascii
        std::vector<std::uint8_t> values);
    TiffBuilder &shorts(std::size_t ifd, std::uint16_t tag, std::vector<std::uint16_t> values);
    TiffBuilder &sshorts(std::size_t ifd, std::uint16_t tag, std::vector<std::int16_t> values);
    TiffBuilder &longs(std::size_t ifd, std::uint16_t tag, std::vector<std::uint32_t> values);
    TiffBuilder &slongs(std::size_t ifd, std::uint16_t tag, std::vector<std::int32_t> values);
    TiffBuilder &rationals(std::size_t ifd,
        std::uint16_t tag,
        std::vector<std::pair<std::uint32_t, std::uint32_t>> values);
    TiffBuilder &srationals(std::size_t ifd,
        std::uint16_t tag,
        std::vector<std::pair<std::int32_t, std::int32_t>> values);
    TiffBuilder &floats(std::size_t ifd, std::uint16_t tag, std::vector<float> values);
    TiffBuilder &doubles(std::size_t ifd, std::uint16_t tag, std::vector<double> values);

    // Shorthands for one value.
    TiffBuilder &shortValue(std::size_t ifd, std::uint16_t tag, std::uint16_t v)
    {
        return shorts(ifd, tag, {v});
    }
    TiffBuilder &longValue(std::size_t ifd, std::uint16_t tag, std::uint32_t v)
    {
        return longs(ifd, tag, {v});
    }
    TiffBuilder &rational(std::size_t ifd, std::uint16_t tag, std::uint32_t num, std::uint32_t den)
    {
        return rationals(ifd, tag, {{num, den}});
    }
    TiffBuilder &srational(std::size_t ifd, std::uint16_t tag, std::int32_t num, std::int32_t den)
    {
        return srationals(ifd, tag, {{num, den}});
    }

    // An entry with any type and count and a payload given as file bytes (already in the file's
    // byte order), placed inline when it is at most 4 bytes long, else at an offset. The count
    // need not match the payload: this is how hostile entries are made.
    TiffBuilder &entry(std::size_t ifd,
        std::uint16_t tag,
        std::uint16_t type,
        std::uint32_t count,
        std::vector<std::uint8_t> payload);
    // An entry whose value field is `valueField` verbatim (written in the byte order).
    TiffBuilder &rawEntry(std::size_t ifd,
        std::uint16_t tag,
        std::uint16_t type,
        std::uint32_t count,
        std::uint32_t valueField);
    // A pointer entry (type Long, count 1) whose value is the offset of directory `target`.
    TiffBuilder &pointer(std::size_t ifd, std::uint16_t tag, std::size_t target);
    // A pointer entry with `count` > 1: the value field is the offset of `count` longs, the
    // first of which is the offset of directory `target`.
    TiffBuilder &indirectPointer(
        std::size_t ifd, std::uint16_t tag, std::size_t target, std::uint32_t count);

    // The directory's next-directory link: another directory, or a verbatim value.
    TiffBuilder &setNext(std::size_t ifd, std::size_t target);
    TiffBuilder &setNextRaw(std::size_t ifd, std::uint32_t value);
    // Bytes written right after the directory's link, before its out-of-line values.
    TiffBuilder &trailer(std::size_t ifd, std::vector<std::uint8_t> bytes);
    // Overrides the header's offset of directory 0 (normally the real one, 8).
    TiffBuilder &setIfd0Offset(std::uint32_t offset);
    // Overrides the 2-byte byte-order mark ("II" or "MM" by default).
    TiffBuilder &setOrderMark(std::array<std::uint8_t, 2> mark);

    [[nodiscard]] BuiltTiff build() const;

    // The value encoded in this builder's byte order.
    [[nodiscard]] std::vector<std::uint8_t> u16(std::uint16_t v) const;
    [[nodiscard]] std::vector<std::uint8_t> u32(std::uint32_t v) const;

private:
    // entry() for `count` values of `type`.
    TiffBuilder &typed(std::size_t ifd,
        std::uint16_t tag,
        TiffType type,
        std::size_t count,
        std::vector<std::uint8_t> payload);
    struct Entry
    {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::vector<std::uint8_t> payload;
        bool raw = false;
        std::uint32_t valueField = 0;
        // Pointer entries: the target directory, and whether the offset is stored indirectly.
        bool isPointer = false;
        bool indirect = false;
        std::size_t target = 0;
    };
    struct Ifd
    {
        std::vector<Entry> entries;
        bool nextIsIfd = false;
        std::size_t nextIfd = 0;
        std::uint32_t nextRaw = 0;
        std::vector<std::uint8_t> trailer;
    };

    TiffBuilder &add(std::size_t ifd, Entry e);
    void put16(std::vector<std::uint8_t> &out, std::uint16_t v) const;
    void put32(std::vector<std::uint8_t> &out, std::uint32_t v) const;

    ByteOrder m_order;
    std::vector<Ifd> m_ifds;
    bool m_ifd0Override = false;
    std::uint32_t m_ifd0Offset = 8;
    std::array<std::uint8_t, 2> m_mark;
};

// Options for wrapping TIFF bytes into a JPEG.
struct JpegOptions
{
    std::vector<std::uint8_t> prefix; // bytes before the start-of-image marker
    std::array<std::uint8_t, 2> marker = {0xFF, 0xE1}; // the segment right after it
    bool endMarker = true; // append an end-of-image marker after the segment
};

// SOI, the segment marker, its big-endian length, "Exif\0\0", the TIFF bytes, then EOI. The TIFF
// header starts kTiffStart bytes after the start-of-image marker.
inline constexpr std::size_t kTiffStart = 12;
[[nodiscard]] std::vector<std::uint8_t> exifJpeg(
    const std::vector<std::uint8_t> &tiff, const JpegOptions &options = {});

// A JFIF file: SOI, an APP0 "JFIF" segment, then (when `tiff` is not empty) an APP1 Exif segment
// with `tiff`, then EOI.
[[nodiscard]] std::vector<std::uint8_t> jfifJpeg(const std::vector<std::uint8_t> &tiff = {});

} // namespace morvane::testsupport
