// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/formatdecoders.h"

#include <jxl/decode.h>
#include <memory>

namespace morvane::imaging {
namespace {

    struct DecoderFree
    {
        void operator()(JxlDecoder *d) const { JxlDecoderDestroy(d); }
    };

    // Waits for the basic facts of the file and checks them: the size (turned as the decoder
    // will turn the pixels) within kMaxPicturePixels, and the gate. Decoded on success.
    DecodeStatus readHeader(JxlDecoder *decoder,
        const QByteArray &bytes,
        const MemoryGate &gate,
        int &width,
        int &height,
        bool &alpha)
    {
        JxlBasicInfo info;
        if (JxlDecoderGetBasicInfo(decoder, &info) != JXL_DEC_SUCCESS)
            return DecodeStatus::NotPicture;
        if (info.xsize == 0 || info.ysize == 0)
            return DecodeStatus::NotPicture;
        const std::int64_t pixels = std::int64_t(info.xsize) * info.ysize;
        if (pixels > kMaxPicturePixels)
            return DecodeStatus::TooLarge;
        // The sizes are the stored ones; the decoder turns the pixels as the orientation says.
        const bool swap = info.orientation >= JXL_ORIENT_TRANSPOSE;
        width = static_cast<int>(swap ? info.ysize : info.xsize);
        height = static_cast<int>(swap ? info.xsize : info.ysize);
        alpha = info.alpha_bits > 0;
        // The file, the decoder's float planes (three or four channels), its RGBA output and ours.
        if (gate && !gate(bytes.size() + pixels * (16 + 4 + 4)))
            return DecodeStatus::NotPicture;
        return DecodeStatus::Decoded;
    }

} // namespace

DecodeResult decodeJpegXl(const QByteArray &bytes, const MemoryGate &gate)
{
    DecodeResult result;
    const std::unique_ptr<JxlDecoder, DecoderFree> decoder(JxlDecoderCreate(nullptr));
    if (!decoder)
        return {DecodeStatus::NoMemory, {}};
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE)
            != JXL_DEC_SUCCESS
        || JxlDecoderSetKeepOrientation(decoder.get(), JXL_FALSE) != JXL_DEC_SUCCESS
        || JxlDecoderSetInput(decoder.get(),
               reinterpret_cast<const uint8_t *>(bytes.constData()),
               static_cast<std::size_t>(bytes.size()))
            != JXL_DEC_SUCCESS)
        return result;
    JxlDecoderCloseInput(decoder.get());

    const JxlPixelFormat format {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    int width = 0;
    int height = 0;
    bool alpha = false;
    QImage image;
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_BASIC_INFO: {
            const DecodeStatus header =
                readHeader(decoder.get(), bytes, gate, width, height, alpha);
            if (header != DecodeStatus::Decoded)
                return {header, {}};
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t needed = 0;
            if (width <= 0
                || JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) != JXL_DEC_SUCCESS
                || needed != std::size_t(width) * std::size_t(height) * 4)
                return result;
            image = QImage(width, height, QImage::Format_RGBA8888);
            if (image.isNull())
                return {DecodeStatus::NoMemory, {}};
            if (image.bytesPerLine() != width * 4
                || JxlDecoderSetImageOutBuffer(decoder.get(), &format, image.bits(), needed)
                    != JXL_DEC_SUCCESS)
                return result;
            break;
        }
        case JXL_DEC_FULL_IMAGE: // the first frame is the picture
        case JXL_DEC_SUCCESS: {
            if (image.isNull())
                return result;
            result.picture.image = ownedPicture(image, alpha);
            if (result.picture.image.isNull())
                return {DecodeStatus::NoMemory, {}};
            result.picture.fullWidth = width;
            result.picture.fullHeight = height;
            result.status = DecodeStatus::Decoded;
            return result;
        }
        default: // an error, or input that ends before the picture does
            return result;
        }
    }
}

} // namespace morvane::imaging
