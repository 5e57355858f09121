// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifreader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Where picture containers other than JPEG keep their Exif block (a TIFF header and its
// directories). Each parser below only locates the block; the rows come from the one Exif walk
// (exifreader.h), run over the block as if it were a file of its own. The container is chosen
// by the file's first bytes, never by its name. Every parser reads through a ByteSource with
// bounds-checked positioned reads, follows no loop twice and allocates at most a bounded amount
// (kMaxDecodedBlock) whatever the sizes the file claims. Any thread.
namespace morvane::exif {

// The kinds of file told apart by their first bytes.
enum class Container {
    Other, // anything else, JPEG included: the walk searches a start-of-image marker
    Tiff, // "II*\0", "MM\0*", and the TIFF-based RAW magics "IIRO", "IIRS", "MMOR", "IIU\0"
    BigTiff, // "II+\0", "MM\0+": TIFF with 8-byte offsets
    Png, // the PNG signature
    WebP, // "RIFF", a size, "WEBP"
    Heif, // an ISO BMFF file ("ftyp" at byte 4) that is not JPEG XL: HEIC, HEIF, AVIF
    Cr3, // an ISO BMFF file of brand "crx ": Canon's CR3 RAW
    JpegXl, // the JPEG XL container (its signature box); a bare codestream (FF 0A) has no Exif
    Raf, // "FUJIFILMCCD-RAW ": a JPEG preview, with its Exif, at an offset in the header
};

// The container of `file` by its first 16 bytes. A read that fails gives Other. Any thread.
[[nodiscard]] Container containerOf(ByteSource &file);

// A run of bytes in the file.
struct Extent
{
    std::uint64_t pos = 0;
    std::uint64_t size = 0;

    friend bool operator==(const Extent &, const Extent &) = default;
};

// What a parser found.
struct ExifBlock
{
    enum class Status {
        Found, // the block is `extents` of the file, in order, or `decoded`
        Absent, // the container holds no Exif block (or its structure ends before one)
        ReadError, // the source delivered fewer bytes than the file's size promised
    };
    Status status = Status::Absent;
    // The block's bytes as they lie in the file, clipped to the file's end: a block cut short
    // by the end of the file gives the walk's read error where the walk reaches the cut.
    std::vector<Extent> extents;
    // A block that had to be decoded (a hex dump in a PNG text chunk): the block itself.
    std::vector<std::uint8_t> decoded;
};

// A decoded block, and the text it is decoded from, are never larger than this; a larger one
// counts as absent.
inline constexpr std::size_t kMaxDecodedBlock = std::size_t {16} << 20;
// At most this many extents make up a HEIF item; an item in more pieces counts as absent.
inline constexpr std::size_t kMaxExtents = 64;

// PNG: the first eXIf chunk, anywhere before IEND; without one, the first tEXt, zTXt or iTXt
// chunk with the keyword "Raw profile type exif" (or "Raw profile type APP1" holding an Exif
// segment), whose hex dump is decoded. An "Exif\0\0" prefix in either is skipped.
[[nodiscard]] ExifBlock findPngExif(ByteSource &file);
// WebP: the first EXIF chunk of the RIFF file, without its "Exif\0\0" prefix when it has one.
[[nodiscard]] ExifBlock findWebpExif(ByteSource &file);
// HEIF/AVIF: the item of type "Exif" listed in the top-level meta box's iinf box, located by its
// iloc box (in the file or in the meta box's idat box), past the item's 4-byte offset field and
// the offset it gives.
[[nodiscard]] ExifBlock findHeifExif(ByteSource &file);
// JPEG XL container: the first top-level "Exif" box, or Brotli-compressed "brob" box holding
// one (decompressed into `decoded`), past its 4-byte offset field and the offset it gives.
[[nodiscard]] ExifBlock findJxlExif(ByteSource &file);
// BigTIFF: the first directory, its Exif and GPS directories and the Exif directory's
// interoperability directory, copied into a classic TIFF block (`decoded`) in the file's byte
// order. 8-byte integers become 4-byte ones where they fit (an entry whose values do not fit, of
// an unknown type or over 1 MiB is left out); the sub-directory pointers point at the copies.
[[nodiscard]] ExifBlock findBigTiffExif(ByteSource &file);
// CR3: the TIFF parts in the moov box's Canon uuid box, CMT1 (the first directory) and CMT2 (the
// Exif directory), joined into one classic TIFF block (`decoded`) as findBigTiffExif() copies.
[[nodiscard]] ExifBlock findCr3Exif(ByteSource &file);
// RAF: the JPEG preview the header points at (its Exif is found there as in any JPEG).
[[nodiscard]] ExifBlock findRafJpeg(ByteSource &file);

// A found block as a source of its own: reads at positions 0 to size() - 1 of the block go to
// the extents of `file` in order, or to the decoded bytes. `file` and `block` must outlive it.
class BlockSource final : public ByteSource
{
public:
    BlockSource(ByteSource &file, const ExifBlock &block) noexcept;
    [[nodiscard]] std::uint64_t size() const override { return m_size; }
    [[nodiscard]] std::size_t read(std::uint64_t pos, std::span<std::uint8_t> out) override;

private:
    ByteSource &m_file;
    const ExifBlock &m_block;
    std::uint64_t m_size = 0;
};

// The Exif Orientation (1 to 8) of `file`, whatever its container: the Orientation entry (tag
// 0x0112) of the Exif block's first directory, found as the rows find the block (JPEG: the Exif
// segment among the leading segments; TIFF and RAW: the file's own first directory). Nothing when
// the file has no Exif block, the block has no such entry, or its value is outside 1 to 8; the
// directory's entry count bounds the search. HEIF, AVIF and JPEG XL carry their own rotation in
// the container, which their decoders apply: their Exif Orientation is reported here too, but
// must not be applied on top (containerOf tells the kind). Reads only the few bytes it needs;
// never throws. Any thread.
[[nodiscard]] std::optional<int> orientation(ByteSource &file);
[[nodiscard]] std::optional<int> orientation(std::span<const std::uint8_t> file);

// Where a JPEG keeps its Orientation value, so that it can be rewritten in place.
struct OrientationSlot
{
    std::uint64_t pos = 0; // the value's first byte in the file
    int width = 2; // 2 bytes (SHORT) or 4 (LONG)
    bool bigEndian = false; // the Exif block's byte order
    int value = 1; // 1 to 8

    friend bool operator==(const OrientationSlot &, const OrientationSlot &) = default;
};

// The Orientation entry of a file that starts as a JPEG (FF D8), found as orientation() finds
// it. Nothing for another container, a JPEG without an Exif block, a block without the entry or
// with a value outside 1 to 8. Any thread.
[[nodiscard]] std::optional<OrientationSlot> jpegOrientationSlot(ByteSource &file);
[[nodiscard]] std::optional<OrientationSlot> jpegOrientationSlot(
    std::span<const std::uint8_t> file);

// The slot.width bytes that store `value` at `slot`, in its byte order.
[[nodiscard]] std::vector<std::uint8_t> slotBytes(const OrientationSlot &slot, int value);

} // namespace morvane::exif
