// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace morvane::imaging {

// The picture loaders, chosen by a file name's extension. Metafiles (wmf, emf) have no decoder
// on this platform and count as None, like every unknown extension.
enum class PictureFormat {
    None,
    Bitmap, // bmp (Qt)
    Icon, // ico (Qt)
    Jpeg, // jpg jpeg (libjpeg-turbo)
    Png, // png (Qt)
    Gif, // gif (Qt; the first frame)
    WebP, // webp (Qt's plugin; the first frame)
    Tiff, // tif tiff (Qt's plugin; the first page)
    Targa, // tga (our own decoder)
    Netpbm, // pbm pgm ppm pnm (Qt)
    Heif, // heic heif hif avif (libheif)
    JpegXl, // jxl (libjxl)
    Raw, // camera RAW files (LibRaw; their largest embedded JPEG preview)
};

// The loader for a file name (its bytes, which need not be UTF-8): the text after the last "."
// compared without regard to ASCII letter case. A name without a "." is None. Any thread.
[[nodiscard]] PictureFormat pictureFormatForName(std::string_view fileName) noexcept;

// True for the formats Qt's image readers decode.
[[nodiscard]] bool isQtFormat(PictureFormat format) noexcept;

} // namespace morvane::imaging
