// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Resizing pictures of 4 bytes per pixel with a cubic filter that widens with the reduction
// (pure).

#include <cstddef>
#include <cstdint>

namespace morvane::imaging {

// Rows of 4-byte pixels; the channels are filtered alike, whatever their order.
template <typename Byte> struct PixelRows
{
    Byte *bits = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;
};

// Resizes `from` into `to` with the Catmull-Rom cubic, stretched over as many source pixels as
// one target pixel covers when shrinking: every source pixel is weighed in, and detail finer than
// the target can show is smoothed away instead of folding into a coarse false pattern (moire).
// Enlarging, the cubic is used as it is. `alphaByte` (0..3) names the channel of premultiplied
// alpha, within which the colour channels are kept; -1 means opaque. Only the target rows
// `firstRow` to `endRow` (-1: the last) are written, so that bands can be made on several threads.
// Returns false, touching nothing, on an empty size, rows shorter than their width or a band
// outside the target. Any thread.
[[nodiscard]] bool resampleCubic(const PixelRows<const std::uint8_t> &from,
    const PixelRows<std::uint8_t> &to,
    int alphaByte = -1,
    int firstRow = 0,
    int endRow = -1);

} // namespace morvane::imaging
