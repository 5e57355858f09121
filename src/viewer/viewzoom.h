// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewer/viewlayout.h"

#include <cstdint>

// The viewer's zoom: the scale steps and a picture zoomed around a point. Pure; any thread.
namespace morvane::viewer {

// The scale `steps` steps above (positive) or below (negative) `scale` among the viewer's
// steps, from 1/16 to 16 with 1 among them; a scale between two steps goes to the next one in
// that direction. Capped at `maxScale` (never below the smallest step).
[[nodiscard]] double zoomStep(double scale, int steps, double maxScale);

// The largest scale at which a `w` x `h` picture stays within `maxPixels` drawn pixels.
[[nodiscard]] double maxZoomScale(std::int32_t w, std::int32_t h, double maxPixels);

// Where a `w` x `h` picture drawn at `drawn` (scale `oldScale`) is drawn at `newScale` so that
// the picture point under (`px`, `py`) stays there.
[[nodiscard]] BoxRect zoomAround(const BoxRect &drawn,
    double oldScale,
    double newScale,
    std::int32_t px,
    std::int32_t py,
    std::int32_t w,
    std::int32_t h);

} // namespace morvane::viewer
