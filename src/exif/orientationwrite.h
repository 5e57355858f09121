// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace morvane::exif {

// One change of a file: the bytes `before` at `pos` become `after` (which may be longer).
struct ByteEdit
{
    std::uint64_t pos = 0;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;

    friend bool operator==(const ByteEdit &, const ByteEdit &) = default;
};

// How much of a JPEG's beginning jpegOrientationInsert needs at most: the start-of-image marker
// and a few leading segments of the largest size.
inline constexpr std::size_t kOrientationHeadBytes = std::size_t {256} << 10;

// The edits, in ascending order of position and not overlapping, that give a JPEG without an
// Orientation entry the Orientation `value` (1 to 8), nothing else of the file moving:
// - with an Exif segment whose first directory lacks the entry: that directory is written anew
//   at the end of the TIFF block with the entry inserted in tag order, the header pointed at it
//   and the segment's length grown (offsets count from the TIFF header, so nothing moves; the
//   old directory stays as unreferenced bytes);
// - without an Exif segment: a minimal one (little-endian TIFF header, a directory holding only
//   the entry) inserted after the start-of-image marker and any APP0 segments.
// `head` is the file's beginning (kOrientationHeadBytes, or all of a smaller file). Nothing when
// the file is no JPEG, already has the entry, its leading segments do not end within `head`, an
// APP1 right after the start-of-image marker is not Exif while Exif follows (readers would take
// the first one), the directory is damaged, or the segment would outgrow its 65535 bytes.
// Each edit's `before` holds at least two bytes of the file, so a changed file is noticed.
[[nodiscard]] std::optional<std::vector<ByteEdit>> jpegOrientationInsert(
    std::span<const std::uint8_t> head, int value);

} // namespace morvane::exif
