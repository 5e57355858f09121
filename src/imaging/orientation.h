// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a picture file keeps its Exif Orientation (tag 0x0112 of the first image directory):
// small readers of the containers that carry an Exif (TIFF) block, bounds-checked on every read,
// for hostile bytes.

#include <cstddef>
#include <span>

namespace morvane::imaging {

// The Exif Orientation values: how the stored pixels are turned to show the picture upright.
// 1 as stored; 2 mirrored left-right; 3 turned 180 degrees; 4 mirrored top-bottom; 5 mirrored
// along the main diagonal; 6 turned 90 degrees clockwise; 7 mirrored along the other diagonal;
// 8 turned 90 degrees anticlockwise.
inline constexpr int kOrientationUpright = 1;

// True when `orientation` (1..8) swaps the stored width and height.
[[nodiscard]] constexpr bool swapsSides(int orientation) noexcept
{
    return orientation >= 5 && orientation <= 8;
}

// The Orientation of a TIFF block ("II*\0" or "MM\0*" header, then its directories), as the
// first directory gives it; 0 when it has none, when the value is outside 1..8 or the block is
// malformed. Total.
[[nodiscard]] int tiffOrientation(std::span<const unsigned char> tiff) noexcept;

// The Orientation of the Exif block of a JPEG file's leading segments (an APP1 "Exif\0\0"
// segment before the first scan, wherever it stands among the others); 0 when there is none.
[[nodiscard]] int jpegOrientation(std::span<const unsigned char> file) noexcept;

// The Orientation of a PNG file's "eXIf" chunk; 0 when there is none.
[[nodiscard]] int pngOrientation(std::span<const unsigned char> file) noexcept;

// The Orientation of a WebP file's "EXIF" chunk (with or without an "Exif\0\0" prefix); 0 when
// there is none.
[[nodiscard]] int webpOrientation(std::span<const unsigned char> file) noexcept;

} // namespace morvane::imaging
