// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The JPEG decoder (libjpeg-turbo) with DCT scaling and progressive scan skipping, and the size
// and memory limits every decoder keeps.

#include "imaging/jpegscans.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace morvane::imaging {

// The largest picture any decoder accepts: 16384 x 16384 pixels of its full size, 1 GiB at the
// 4 bytes per pixel of a decoded image. A larger picture is not decoded (DecodeStatus::TooLarge),
// whatever its format and the scale asked for, so its kind never depends on the quality chosen.
// The same number of bytes bounds what a decoder allocates for one picture: Qt's readers and
// libjpeg's working memory (a progressive file keeps all its coefficients).
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t(16384) * 16384;
inline constexpr std::int64_t kMaxPictureBytes = kMaxPicturePixels * 4;

// A decoded picture: `image` as decoded (for a JPEG at the reduced scale asked for) and the
// picture's own size before any scaling, in pixels.
struct DecodedPicture
{
    QImage image;
    int fullWidth = 0;
    int fullHeight = 0;
};

// How a decode ended. Only NoMemory says nothing about the file: the same file may decode when
// more memory is free.
enum class DecodeStatus {
    Decoded, // `picture` holds the picture
    NotPicture, // not of the format, corrupt or truncated data, a side of 0, a scale out of range
    TooLarge, // more than kMaxPicturePixels, or more working memory than kMaxPictureBytes
    NoMemory, // the memory for the decode could not be had
    ReadError, // the file could not be opened or read
};

struct DecodeResult
{
    DecodeStatus status = DecodeStatus::NotPicture;
    DecodedPicture picture;
};

// Called by a decoder once the header is read and before the large allocations, with the bytes
// the decode will hold at its peak (the file's bytes, the image and the decoder's working memory).
// It may block until that memory may be used; false gives the decode up (NotPicture, meant to be
// dropped). Called on the decoding thread, at most once per decode; must not throw.
using MemoryGate = std::function<bool(std::int64_t bytes)>;

// How a decode at a reduced scale reads a progressive JPEG. At 1/8 a component whose blocks
// shrink to one pixel shows only each block's DC coefficient, so the scans that carry its AC
// coefficients (most of the file) need not be decoded at all; at other scales the last
// refinement scans change the picture by little. Baseline files and full-scale decodes always
// read everything.
struct ProgressiveReading
{
    bool skipScans = false; // false: every scan is read (the exact decode)
    // What a component whose blocks shrink to 2 or 4 pixels reads. One whose blocks shrink to a
    // pixel reads its DC coefficient only (exact), one at full size everything.
    CoefficientNeed partialBlocks = CoefficientNeed::All;
    // Read every scan up to the last needed one and stop there, instead of leaving out each scan
    // that is not needed (for comparison: the work of a decoder that stops early).
    bool prefixOnly = false;
};

// The reading the thumbnail list uses at 1/2^`scaleShift`, chosen by the measured difference
// from the exact decode (bench/progressive): exact at 1/8; everything at the other scales, where
// leaving out scans either gains nothing or changes the picture by more than half a level.
[[nodiscard]] ProgressiveReading thumbnailReading(int scaleShift);

// Decodes the JPEG held in `data` (`size` bytes) with libjpeg-turbo, scaled by 1/2^`scaleShift`
// in each direction (`scaleShift` 0..3; sides rounded up, as libjpeg computes them) with the fast
// integer inverse transform. The image is QImage::Format_RGB32; greyscale, RGB, YCbCr, CMYK and
// YCCK files (inverted CMYK when the file carries an Adobe marker) are converted to it, and
// progressive files work. Errors libjpeg reports give NotPicture, except its failure to allocate
// (NoMemory) and its working-memory limit (TooLarge); nothing is written to stderr and nothing
// leaks. `gate` (may be empty) is asked before the image is allocated. A progressive file is read
// as `reading` says (thumbnailReading(scaleShift) when not given); a file whose scans cannot be
// laid out from its markers (truncated, malformed) is read whole, so its errors show as before.
// Any thread; `data` is only read.
[[nodiscard]] DecodeResult decodeJpeg(
    const unsigned char *data, std::size_t size, int scaleShift, const MemoryGate &gate = {});
[[nodiscard]] DecodeResult decodeJpeg(const unsigned char *data,
    std::size_t size,
    int scaleShift,
    const MemoryGate &gate,
    const ProgressiveReading &reading);

// A decode for showing the picture at a given size.
struct JpegShowOptions
{
    // The decode is scaled by the smallest of libjpeg's factors M/8 (M = 1..8) whose output is at
    // least this size (pixels) in both directions; an invalid size, or one the full picture does
    // not cover, decodes at full size.
    QSize atLeast;
    // When it has the output's size, is Format_RGB32 and holds the only reference to its pixels,
    // the picture is decoded into this image's memory instead of a new one (no fresh pages to
    // fault in). Otherwise it is let go of before the output is allocated.
    QImage reuse;
    MemoryGate gate;
    // A larger size taken instead of `atLeast` when 1/8, 2/8 or 4/8 covers it: the fast scales (see
    // jpegShowEighths). Invalid: none.
    QSize preferAtLeast;
};

// decodeJpeg above, scaled and written as `options` ask; fullWidth/fullHeight are always the
// picture's size from its header. A progressive file skips the scans the scale cannot show, with
// the pixels of the full reading. Any thread.
[[nodiscard]] DecodeResult decodeJpeg(
    const unsigned char *data, std::size_t size, JpegShowOptions options);

} // namespace morvane::imaging
