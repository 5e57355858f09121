// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/jpegdecode.h"

#include <QByteArray>

#include <optional>

namespace morvane::platform {

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
// that replaced the file), a read fails, or it holds more than `maxBytes` bytes. Any thread.
[[nodiscard]] std::optional<QByteArray> readWholeFile(
    const QByteArray &nativePath, qint64 maxBytes);

// Decodes a BMP or ICO file's bytes with Qt's readers, format forced (a file whose content is not
// of that format fails; no guessing from the content). An icon file gives its first image. The
// image is Format_RGB32 for opaque pictures, Format_ARGB32_Premultiplied when it has an alpha
// channel; fullWidth/fullHeight are the image's size. nullopt on any format error. Any thread.
[[nodiscard]] std::optional<DecodedPicture> decodeBitmap(const QByteArray &bytes);
[[nodiscard]] std::optional<DecodedPicture> decodeIcon(const QByteArray &bytes);

// Reads the file at `nativePath` and decodes it with the loader of `format`; a JPEG is scaled by
// 1/2^`jpegScaleShift` (0..3). nullopt when the file cannot be read or does not decode, or for
// PictureFormat::None. Any thread.
[[nodiscard]] std::optional<DecodedPicture> decodePictureFile(
    const QByteArray &nativePath, PictureFormat format, int jpegScaleShift);

} // namespace morvane::platform
