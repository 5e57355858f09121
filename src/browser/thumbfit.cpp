// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbfit.h"

#include <algorithm>
#include <cmath>

namespace morvane::browser {
namespace {

    constexpr std::int64_t kLargest = 2147483647;

    // The shorter side scaled by the ratio that brings the longer side to the box. The ratio is
    // kept in thousandths, as the list has always drawn it, so existing thumbnails keep their
    // exact pixel sizes.
    std::int64_t scaledSide(std::int64_t side, std::int64_t longer, std::int64_t boxSize)
    {
        const std::int64_t perMille = longer * 1000 / boxSize;
        // perMille is 0 only for a box over a thousand times the longer side; the plain
        // proportion then stands in for the thousandths, which would divide by zero.
        const std::int64_t drawn = perMille > 0 ? side * 1000 / perMille : side * boxSize / longer;
        // Rounding the ratio down makes the result a little too large for small pictures in big
        // boxes (a 3 x 3 picture in a 320 box would be drawn 320 x 333); a side never exceeds
        // the box.
        return std::min(drawn, boxSize);
    }

} // namespace

std::optional<DrawnSize> fitToBox(std::int64_t width, std::int64_t height, std::int64_t boxSize)
{
    if (width <= 0 || height <= 0 || boxSize <= 0 || width > kLargest || height > kLargest
        || boxSize > kLargest) {
        return std::nullopt;
    }
    if (width < height)
        return DrawnSize {scaledSide(width, height, boxSize), boxSize};
    return DrawnSize {boxSize, scaledSide(height, width, boxSize)};
}

int deviceBoxSize(int boxSize, double ratio)
{
    if (!std::isfinite(ratio) || ratio <= 0.0 || ratio == 1.0)
        return boxSize;
    const double side = std::round(static_cast<double>(boxSize) * ratio);
    return static_cast<int>(std::clamp(side, 1.0, 8192.0));
}

} // namespace morvane::browser
