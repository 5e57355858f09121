// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "imaging/jpegdecode.h"
#include "imaging/pictureformat.h"

#include <QByteArray>

#include <optional>

namespace morvane::imaging {

// pictureFormatForName() of the core library for a name held in a QByteArray. Any thread.
[[nodiscard]] inline PictureFormat pictureFormatForName(const QByteArray &fileName)
{
    return pictureFormatForName(
        std::string_view(fileName.constData(), static_cast<std::size_t>(fileName.size())));
}

// What a decode for the list asks for.
struct ThumbRequest
{
    int jpegScale = 0; // a JPEG decodes at 1/2^jpegScale (0..3)
    // The side of the box the picture is drawn into, 0 when not known. A HEIF file's embedded
    // thumbnail serves when it reaches it; a RAW file's preview decodes at the smallest scale
    // that covers it (0: at 1/2^jpegScale).
    int boxSize = 0;
    // The picture turned upright as its Exif Orientation says (JPEG, PNG, WebP, TIFF; RAW by
    // LibRaw's flip). HEIF and JPEG XL are always shown as their containers say.
    bool upright = true;
};

// The Exif Orientation (1..8) of a file of `format` held in `bytes`, from wherever its format
// keeps it; 0 when it has none or the format keeps no Exif tag of its own (HEIF and JPEG XL turn
// their pictures in their containers, RAW files through LibRaw). Any thread.
[[nodiscard]] int exifOrientation(PictureFormat format, const QByteArray &bytes);

// The whole content of the regular file at `nativePath`, read to its end (the size the file
// system reports is not trusted: a file may grow, shrink or report 0 and still hold bytes).
// nullopt when the file cannot be opened, is not a regular file (opening never blocks on a fifo
// that replaced the file), a read fails, or it holds more than `maxBytes` bytes. Throws
// std::bad_alloc when there is no memory for the bytes. Any thread.
[[nodiscard]] std::optional<QByteArray> readWholeFile(
    const QByteArray &nativePath, qint64 maxBytes);

// Decodes the bytes of a file of one of Qt's formats (isQtFormat()) with Qt's reader of that
// format, as decodeBitmap() below does; GIF and WebP give their first frame, TIFF its first page.
// The image is as stored (not turned). Any thread.
[[nodiscard]] DecodeResult decodeWithQt(
    const QByteArray &bytes, PictureFormat format, const MemoryGate &gate = {});

// Decodes a BMP or ICO file's bytes with Qt's readers, format forced (a file whose content is not
// of that format fails; no guessing from the content). An icon file gives its first image. The
// image is Format_RGB32 for opaque pictures, Format_ARGB32_Premultiplied when it has an alpha
// channel; fullWidth/fullHeight are the image's size. The picture's size is read from its header
// first: more than kMaxPicturePixels is TooLarge and nothing is allocated. A read that fails
// after a sound header is NoMemory when the image's memory cannot be had, otherwise NotPicture.
// `gate` (may be empty) is asked before the image is allocated. Any thread.
[[nodiscard]] DecodeResult decodeBitmap(const QByteArray &bytes, const MemoryGate &gate = {});
[[nodiscard]] DecodeResult decodeIcon(const QByteArray &bytes, const MemoryGate &gate = {});

// Reads the file at `nativePath` and decodes it with the loader of `format` as `request` asks.
// The picture and its fullWidth/fullHeight are upright when `request.upright` (a file with an
// Orientation of 5 to 8 swaps its sides). ReadError when the file cannot be read (or holds more
// than 512 MiB), NoMemory when memory for its bytes or its picture cannot be had (no
// std::bad_alloc leaves), NotPicture for PictureFormat::None. `gate` as for the decoders. Any
// thread.
[[nodiscard]] DecodeResult decodePictureFile(const QByteArray &nativePath,
    PictureFormat format,
    const ThumbRequest &request,
    const MemoryGate &gate = {});

// The same, upright, with a JPEG scaled by 1/2^`jpegScaleShift` (0..3).
[[nodiscard]] DecodeResult decodePictureFile(const QByteArray &nativePath,
    PictureFormat format,
    int jpegScaleShift,
    const MemoryGate &gate = {});

// The same for showing the picture: a JPEG (or a RAW file's preview) is decoded as `jpeg` asks
// (scale, memory to reuse, gate), `jpeg.atLeast` being the upright size; the other formats at
// their full size, with `jpeg.gate`. A RAW file's fullWidth/fullHeight are its preview's.
[[nodiscard]] DecodeResult decodePictureToShow(
    const QByteArray &nativePath, PictureFormat format, JpegShowOptions jpeg, bool upright = true);

} // namespace morvane::imaging
