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

// The M (1..8) to decode a picture of `full` pixels at: the smallest of 1/8, 2/8 and 4/8 that
// covers `preferred` when one does (libjpeg-turbo runs those, and 8/8, with its SIMD inverse DCT;
// 3/8 and 5/8 to 7/8 cost more than 4/8 or even 8/8), else the smallest M that covers `atLeast`,
// else 8. A side of 0 or less in `preferred` means none is preferred.
[[nodiscard]] int jpegShowEighths(PixelSize full, PixelSize atLeast, PixelSize preferred);

} // namespace morvane::imaging
