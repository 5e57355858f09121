// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Exif Orientation values and their arithmetic. The value of a file is read by the Exif
// reader (exif::orientation), whatever its container.

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

// The orientation that shows the picture of `orientation` (1..8) turned a quarter clockwise, or
// anticlockwise, mirrored values staying mirrored: turning after a mirror left-right (2) gives the
// mirror along the other diagonal (7). A value outside 1..8 is taken as 1.
[[nodiscard]] constexpr int turnedQuarter(int orientation, bool clockwise) noexcept
{
    constexpr int kClockwise[9] = {6, 6, 7, 8, 5, 2, 3, 4, 1};
    constexpr int kAnticlockwise[9] = {8, 8, 5, 6, 7, 4, 1, 2, 3};
    const int o = orientation >= 1 && orientation <= 8 ? orientation : kOrientationUpright;
    return clockwise ? kClockwise[o] : kAnticlockwise[o];
}

} // namespace morvane::imaging
