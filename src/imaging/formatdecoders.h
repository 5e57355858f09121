// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The decoders of the formats that have a library of their own: HEIF/AVIF (libheif), JPEG XL
// (libjxl) and camera RAW (LibRaw, for its embedded preview), and TGA (our own decoder). Each keeps
// the limits of every decoder: kMaxPicturePixels checked from the header before anything large is
// allocated, the memory gate asked once before, no exception and no output on hostile bytes.

#include "imaging/jpegdecode.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace morvane::imaging {

// The orientation (1..8, see orientation.h) applied to a decoded image: turned and mirrored so
// that it shows upright. 0 and 1 give the image as it is. A null image when memory runs out.
[[nodiscard]] QImage orientedImage(const QImage &image, int orientation);

// `image` (an 8-bit RGBA or RGB image in a buffer the caller owns) copied into the image a
// decoder hands over: Format_ARGB32_Premultiplied when `alpha`, otherwise Format_RGB32. A null
// image when memory runs out.
[[nodiscard]] QImage ownedPicture(const QImage &image, bool alpha);

// HEIC/HEIF/AVIF: the primary image, turned and cropped as the container says (libheif applies
// its transforms; an Exif tag is never applied on top). With `boxSize` > 0 the smallest embedded
// thumbnail whose longer side is at least `boxSize` is decoded instead, when there is one;
// fullWidth/fullHeight are always the primary image's. Any thread.
[[nodiscard]] DecodeResult decodeHeif(const QByteArray &bytes, int boxSize, const MemoryGate &gate);

// TGA (every type but the Huffman-coded ones, with or without its footer): the picture as
// stored, turned to its top-left origin. Format_RGB32, or Format_ARGB32_Premultiplied when the
// header gives it alpha bits. Any thread.
[[nodiscard]] DecodeResult decodeTargaFile(const QByteArray &bytes, const MemoryGate &gate);

// JPEG XL: the first frame, turned as its header says. Any thread.
[[nodiscard]] DecodeResult decodeJpegXl(const QByteArray &bytes, const MemoryGate &gate);

// Which size a RAW file's picture reports: the sensor's, as LibRaw's own processing would give
// it (the picture's facts in the list), or the embedded preview's (what the viewer draws).
enum class RawFacts { Sensor, Preview };

// Camera RAW: the largest embedded JPEG preview, decoded with decodeJpeg at the smallest scale
// whose output covers `atLeast` (invalid: full size), turned by LibRaw's flip when `upright`.
// fullWidth/fullHeight as `facts` says, turned likewise. A file without a JPEG preview is
// NotPicture. `reuse` and `preferAtLeast` as for JpegShowOptions. Any thread.
[[nodiscard]] DecodeResult decodeRaw(const QByteArray &bytes,
    QSize atLeast,
    bool upright,
    RawFacts facts,
    const MemoryGate &gate,
    QImage reuse = {},
    QSize preferAtLeast = {});

} // namespace morvane::imaging
