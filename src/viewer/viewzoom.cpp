// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewzoom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace morvane::viewer {

namespace {

    constexpr std::array<double, 15> kSteps {1.0 / 16,
        1.0 / 8,
        1.0 / 4,
        1.0 / 3,
        1.0 / 2,
        2.0 / 3,
        1.0,
        1.5,
        2.0,
        3.0,
        4.0,
        6.0,
        8.0,
        12.0,
        16.0};
    // Two scales this close count as the same step (a drawn size is rounded to whole pixels).
    constexpr double kSame = 1e-3;

} // namespace

double zoomStep(double scale, int steps, double maxScale)
{
    double s = scale;
    for (; steps > 0; --steps) {
        const auto it = std::find_if(kSteps.begin(), kSteps.end(), [&](double k) {
            return k > s * (1 + kSame);
        });
        s = it == kSteps.end() ? kSteps.back() : *it;
    }
    for (; steps < 0; ++steps) {
        const auto it = std::find_if(kSteps.rbegin(), kSteps.rend(), [&](double k) {
            return k < s * (1 - kSame);
        });
        s = it == kSteps.rend() ? kSteps.front() : *it;
    }
    return std::max(std::min(s, maxScale), kSteps.front());
}

double maxZoomScale(std::int32_t w, std::int32_t h, double maxPixels)
{
    if (w <= 0 || h <= 0)
        return 1.0;
    return std::sqrt(maxPixels / (static_cast<double>(w) * h));
}

BoxRect zoomAround(const BoxRect &drawn,
    double oldScale,
    double newScale,
    std::int32_t px,
    std::int32_t py,
    std::int32_t w,
    std::int32_t h)
{
    const double ux = (px - drawn.left) / oldScale;
    const double uy = (py - drawn.top) / oldScale;
    BoxRect r;
    r.width = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(w * newScale)));
    r.height = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(h * newScale)));
    r.left = static_cast<std::int32_t>(std::lround(px - ux * newScale));
    r.top = static_cast<std::int32_t>(std::lround(py - uy * newScale));
    return r;
}

} // namespace morvane::viewer
