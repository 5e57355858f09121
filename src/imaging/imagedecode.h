// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "imaging/jpegdecode.h"

#include <QByteArray>

#include <optional>

namespace morvane::imaging {

// The picture loaders, chosen by a file name's extension. Metafiles (wmf, emf) have no decoder
// on this platform and count as None, like every unknown extension.
enum class PictureFormat { None, Bitmap, Icon, Jpeg };

// The loader for a file name (the bytes of the name, which need not be UTF-8): the text after the
// last "." compared without regard to ASCII letter case: "bmp", "ico", "jpg" or "jpeg".
// A name without a "." is None. Any thread.
[[nodiscard]] PictureFormat pictureFormatForName(const QByteArray &fileName);

// The whole content of the regular file at `nativePath`, read to its end (the size the file
// system reports is not trusted: a file may grow, shrink or report 0 and still hold bytes).
// nullopt when the file cannot be opened, is not a regular file (opening never blocks on a fifo
// that replaced the file), a read fails, or it holds more than `maxBytes` bytes. Throws
// std::bad_alloc when there is no memory for the bytes. Any thread.
[[nodiscard]] std::optional<QByteArray> readWholeFile(
    const QByteArray &nativePath, qint64 maxBytes);

// Decodes a BMP or ICO file's bytes with Qt's readers, format forced (a file whose content is not
// of that format fails; no guessing from the content). An icon file gives its first image. The
// image is Format_RGB32 for opaque pictures, Format_ARGB32_Premultiplied when it has an alpha
// channel; fullWidth/fullHeight are the image's size. The picture's size is read from its header
// first: more than kMaxPicturePixels is TooLarge and nothing is allocated. A read that fails
// after a sound header is NoMemory when the image's memory cannot be had, otherwise NotPicture.
// `gate` (may be empty) is asked before the image is allocated. Any thread.
[[nodiscard]] DecodeResult decodeBitmap(const QByteArray &bytes, const MemoryGate &gate = {});
[[nodiscard]] DecodeResult decodeIcon(const QByteArray &bytes, const MemoryGate &gate = {});

// Reads the file at `nativePath` and decodes it with the loader of `format`; a JPEG is scaled by
// 1/2^`jpegScaleShift` (0..3). ReadError when the file cannot be read (or holds more than 512
// MiB), NoMemory when memory for its bytes or its picture cannot be had (no std::bad_alloc
// leaves), NotPicture for PictureFormat::None. `gate` as for the decoders. Any thread.
[[nodiscard]] DecodeResult decodePictureFile(const QByteArray &nativePath,
    PictureFormat format,
    int jpegScaleShift,
    const MemoryGate &gate = {});

// The same for showing the picture: a JPEG is decoded as `jpeg` asks (scale, memory to reuse,
// gate); a bitmap or icon at its full size, with `jpeg.gate`.
[[nodiscard]] DecodeResult decodePictureToShow(
    const QByteArray &nativePath, PictureFormat format, JpegShowOptions jpeg);

} // namespace morvane::imaging
