// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

#include <cstddef>
#include <optional>

namespace morvane::platform {

// A decoded picture: `image` as decoded (for a JPEG at the reduced scale asked for) and the
// picture's own size before any scaling, in pixels.
struct DecodedPicture
{
    QImage image;
    int fullWidth = 0;
    int fullHeight = 0;
};

// Decodes the JPEG held in `data` (`size` bytes) with libjpeg-turbo, scaled by 1/2^`scaleShift`
// in each direction (`scaleShift` 0..3; sides rounded up, as libjpeg computes them) with the fast
// integer inverse transform. The image is QImage::Format_RGB32; greyscale, RGB, YCbCr, CMYK and
// YCCK files (inverted CMYK when the file carries an Adobe marker) are converted to it, and
// progressive files work. nullopt for anything libjpeg reports as an error (not a JPEG, corrupt
// or truncated data, a scale out of range, memory exhausted); nothing is written to stderr and
// nothing leaks. Any thread; `data` is only read.
[[nodiscard]] std::optional<DecodedPicture> decodeJpeg(
    const unsigned char *data, std::size_t size, int scaleShift);

} // namespace morvane::platform
