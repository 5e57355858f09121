// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/formatdecoders.h"
#include "imaging/orientation.h"

#include <libraw/libraw.h>
#include <memory>
#include <new>
#include <utility>

namespace morvane::imaging {
namespace {

    // LibRaw reports damaged data on stderr unless told otherwise; a damaged file is simply
    // not a picture here.
    void ignoreDataError(void *, const char *, int) {}

    // LibRaw's flip (0, 3, 5 or 6) as an Exif orientation.
    int orientationOfFlip(int flip)
    {
        switch (flip) {
        case 3:
            return 3;
        case 5:
            return 8;
        case 6:
            return 6;
        default:
            return kOrientationUpright;
        }
    }

} // namespace

DecodeResult decodeRaw(const QByteArray &bytes,
    QSize atLeast,
    bool upright,
    RawFacts facts,
    const MemoryGate &gate,
    QImage reuse,
    QSize preferAtLeast)
{
    DecodeResult result;
    // LibRaw's object is large (hundreds of KiB): on the heap, not on a decoding thread's stack.
    std::unique_ptr<LibRaw> raw(new (std::nothrow) LibRaw(LIBRAW_OPTIONS_NONE));
    if (!raw)
        return {DecodeStatus::NoMemory, {}};
    raw->set_dataerror_handler(&ignoreDataError, nullptr);
    // LibRaw only reads the buffer; its interface is not const.
    if (raw->open_buffer(const_cast<char *>(bytes.constData()), static_cast<size_t>(bytes.size()))
            != LIBRAW_SUCCESS
        || raw->unpack_thumb() != LIBRAW_SUCCESS)
        return result;
    const libraw_thumbnail_t &thumb = raw->imgdata.thumbnail;
    if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || thumb.thumb == nullptr || thumb.tlength == 0)
        return result;
    const int orientation = upright ? orientationOfFlip(raw->imgdata.sizes.flip) : 0;
    // The size of LibRaw's own processing of the sensor data (turned by the flip).
    if (raw->adjust_sizes_info_only() != LIBRAW_SUCCESS)
        return result;
    int fullWidth = raw->imgdata.sizes.iwidth;
    int fullHeight = raw->imgdata.sizes.iheight;
    if ((raw->imgdata.sizes.flip & 4) != 0 && !upright)
        std::swap(fullWidth, fullHeight);
    if (fullWidth <= 0 || fullHeight <= 0)
        return result;

    if (swapsSides(orientation)) {
        atLeast.transpose();
        preferAtLeast.transpose();
    }
    result = decodeJpeg(reinterpret_cast<const unsigned char *>(thumb.thumb),
        thumb.tlength,
        JpegShowOptions {atLeast, std::move(reuse), gate, preferAtLeast});
    if (result.status != DecodeStatus::Decoded)
        return result;
    if (orientation > kOrientationUpright) {
        result.picture.image = orientedImage(result.picture.image, orientation);
        if (result.picture.image.isNull())
            return {DecodeStatus::NoMemory, {}};
    }
    if (facts == RawFacts::Sensor) {
        result.picture.fullWidth = fullWidth;
        result.picture.fullHeight = fullHeight;
    } else if (swapsSides(orientation)) {
        std::swap(result.picture.fullWidth, result.picture.fullHeight);
    }
    return result;
}

} // namespace morvane::imaging
