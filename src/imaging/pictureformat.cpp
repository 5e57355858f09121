// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/pictureformat.h"

#include <array>
#include <cstddef>

namespace morvane::imaging {
namespace {

    struct Extension
    {
        std::string_view lower;
        PictureFormat format;
    };

    constexpr std::array kExtensions {
        Extension {"jpg", PictureFormat::Jpeg},
        Extension {"jpeg", PictureFormat::Jpeg},
        Extension {"bmp", PictureFormat::Bitmap},
        Extension {"ico", PictureFormat::Icon},
        Extension {"png", PictureFormat::Png},
        Extension {"gif", PictureFormat::Gif},
        Extension {"webp", PictureFormat::WebP},
        Extension {"tif", PictureFormat::Tiff},
        Extension {"tiff", PictureFormat::Tiff},
        Extension {"tga", PictureFormat::Targa},
        Extension {"pbm", PictureFormat::Netpbm},
        Extension {"pgm", PictureFormat::Netpbm},
        Extension {"ppm", PictureFormat::Netpbm},
        Extension {"pnm", PictureFormat::Netpbm},
        Extension {"heic", PictureFormat::Heif},
        Extension {"heif", PictureFormat::Heif},
        Extension {"hif", PictureFormat::Heif},
        Extension {"avif", PictureFormat::Heif},
        Extension {"jxl", PictureFormat::JpegXl},
        Extension {"cr2", PictureFormat::Raw},
        Extension {"cr3", PictureFormat::Raw},
        Extension {"crw", PictureFormat::Raw},
        Extension {"nef", PictureFormat::Raw},
        Extension {"nrw", PictureFormat::Raw},
        Extension {"arw", PictureFormat::Raw},
        Extension {"srf", PictureFormat::Raw},
        Extension {"sr2", PictureFormat::Raw},
        Extension {"dng", PictureFormat::Raw},
        Extension {"orf", PictureFormat::Raw},
        Extension {"rw2", PictureFormat::Raw},
        Extension {"raf", PictureFormat::Raw},
        Extension {"pef", PictureFormat::Raw},
        Extension {"srw", PictureFormat::Raw},
        Extension {"x3f", PictureFormat::Raw},
        Extension {"3fr", PictureFormat::Raw},
        Extension {"iiq", PictureFormat::Raw},
        Extension {"rwl", PictureFormat::Raw},
        Extension {"erf", PictureFormat::Raw},
        Extension {"mrw", PictureFormat::Raw},
        Extension {"kdc", PictureFormat::Raw},
        Extension {"dcr", PictureFormat::Raw},
    };

    bool equalsAsciiNoCase(std::string_view text, std::string_view lower) noexcept
    {
        if (text.size() != lower.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != lower[i])
                return false;
        }
        return true;
    }

} // namespace

PictureFormat pictureFormatForName(std::string_view fileName) noexcept
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return PictureFormat::None;
    const std::string_view ext = fileName.substr(dot + 1);
    for (const Extension &e : kExtensions) {
        if (equalsAsciiNoCase(ext, e.lower))
            return e.format;
    }
    return PictureFormat::None;
}

bool isQtFormat(PictureFormat format) noexcept
{
    switch (format) {
    case PictureFormat::Bitmap:
    case PictureFormat::Icon:
    case PictureFormat::Png:
    case PictureFormat::Gif:
    case PictureFormat::WebP:
    case PictureFormat::Tiff:
    case PictureFormat::Netpbm:
        return true;
    case PictureFormat::None:
    case PictureFormat::Targa:
    case PictureFormat::Jpeg:
    case PictureFormat::Heif:
    case PictureFormat::JpegXl:
    case PictureFormat::Raw:
        return false;
    }
    return false;
}

} // namespace morvane::imaging
