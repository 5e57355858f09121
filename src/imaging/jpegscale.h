// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The DCT scale M/8 a JPEG is decoded at for showing it smaller (pure).

namespace morvane::imaging {

struct PixelSize
{
    int width = 0;
    int height = 0;
};

// The output of libjpeg's M/8 reduction of `full`: each side times M/8, rounded up.
[[nodiscard]] PixelSize jpegScaledSize(PixelSize full, int eighths);

// The M (1..8) to decode a picture of `full` pixels at. With a `preferred` size: the smallest of
// 1/8, 2/8 and 4/8 that covers it (libjpeg-turbo runs those, and 8/8, with its SIMD inverse DCT),
// else 8/8: 3/8 and 5/8 to 7/8 cost about as much as 8/8 and fold fine detail into a coarse false
// pattern more than a full decode does. Without one (a side of 0 or less): the smallest M that
// covers `atLeast`, else 8.
[[nodiscard]] int jpegShowEighths(PixelSize full, PixelSize atLeast, PixelSize preferred);

} // namespace morvane::imaging
