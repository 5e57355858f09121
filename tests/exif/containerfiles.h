// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifrows.h"
#include "support/jpegbuilder.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Picture containers assembled in code around an Exif (TIFF) block, shared by the in-process and
// the CLI tests: PNG chunks, RIFF chunks, ISO BMFF boxes, each written by its format's layout.
namespace morvane::exiftest {

using Bytes = std::vector<std::uint8_t>;

// IFD0 { Make "Canon", Orientation 6, Exif pointer }, Exif IFD { ISO 100 }.
[[nodiscard]] Bytes sampleTiff(testsupport::ByteOrder order = testsupport::ByteOrder::Little);
// The rows of sampleTiff: Make, then ISO.
[[nodiscard]] std::vector<exif::ExifRow> sampleRows();

[[nodiscard]] Bytes bytesOf(std::string_view s);
[[nodiscard]] Bytes concat(std::initializer_list<Bytes> parts);

// PNG: a chunk (length, type, data, CRC) and a file (signature, IHDR, the chunks, IEND).
[[nodiscard]] Bytes pngChunk(std::string_view type, const Bytes &data);
[[nodiscard]] Bytes png(std::initializer_list<Bytes> chunks);
// The hex-dump text of a raw profile ("\nexif\n    N\n" and hex lines of 72 digits).
[[nodiscard]] Bytes rawProfile(const Bytes &block);
// zlib's compression of `data`, and Brotli's.
[[nodiscard]] Bytes zlibCompressed(const Bytes &data);
[[nodiscard]] Bytes brotliCompressed(const Bytes &data);

// WebP: a RIFF chunk (padded to an even size) and a file ("RIFF", size, "WEBP", the chunks).
[[nodiscard]] Bytes riffChunk(std::string_view type, const Bytes &data);
[[nodiscard]] Bytes webp(std::initializer_list<Bytes> chunks);

// ISO BMFF: a box, and a full box (version and flags first).
[[nodiscard]] Bytes box(std::string_view type, const Bytes &payload);
[[nodiscard]] Bytes fullBox(std::string_view type, std::uint8_t version, const Bytes &payload);

// A HEIF file whose item 2 is of type Exif: ftyp, meta { hdlr, iinf, iloc, [idat] }, mdat. The
// item's bytes are `item` (its 4-byte offset field included), split into `pieces` extents in the
// mdat (construction method 0) or placed in an idat box (method 1, iloc version 1).
struct HeifOptions
{
    int pieces = 1;
    bool inIdat = false;
    std::uint32_t extraOffset = 0; // added to every extent offset (a hostile iloc)
};
[[nodiscard]] Bytes heif(const Bytes &item, const HeifOptions &options = {});

// A JPEG XL container: signature box, ftyp, jxlc (a token codestream), then `boxes`.
[[nodiscard]] Bytes jxl(std::initializer_list<Bytes> boxes);

// The 4-byte big-endian offset field of a HEIF Exif item or JPEG XL Exif box, then `block`.
[[nodiscard]] Bytes withOffsetField(const Bytes &block, std::uint32_t offset = 0);

// A BigTIFF holding what sampleTiff() holds: IFD0 { Make "Canon" (in its 8-byte value field),
// Orientation 6, Exif pointer of `pointerType` (4 LONG, 16 LONG8 or 18 IFD8) to `exifAt` (0:
// the Exif directory's own place) }, Exif IFD { ISO 100 }. `ifd0Count` replaces IFD0's entry
// count when not 0.
struct BigTiffOptions
{
    testsupport::ByteOrder order = testsupport::ByteOrder::Little;
    std::uint16_t pointerType = 18;
    std::uint64_t exifAt = 0;
    std::uint64_t ifd0Count = 0;
};
[[nodiscard]] Bytes bigTiff(const BigTiffOptions &options);

} // namespace morvane::exiftest
