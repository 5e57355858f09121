// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace morvane::browser {

// The drawn size of a picture in its square box, in pixels.
struct DrawnSize
{
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// The fit of a picture of `width` x `height` pixels (for a JPEG, the decoder's scaled output)
// into a box of `boxSize` pixels: the longer side (the width for a square) becomes `boxSize`, the
// other is scaled with integer divisions that discard the remainder, so a very thin picture may
// get 0 in one direction; neither side ever exceeds `boxSize`. nullopt when width or height is 0
// or negative, or boxSize is not positive (such a picture is listed as an other file), and for
// values above 2147483647, which no decoder reports. 64-bit arithmetic. Any thread.
[[nodiscard]] std::optional<DrawnSize> fitToBox(
    std::int64_t width, std::int64_t height, std::int64_t boxSize);

// The side in device pixels of a box of `boxSize` logical pixels on a screen of device pixel
// ratio `ratio` (rounded; at least 1). A ratio that is not a positive finite number counts as 1,
// so the box keeps its logical size.
[[nodiscard]] int deviceBoxSize(int boxSize, double ratio);

} // namespace morvane::browser
