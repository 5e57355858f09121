// SPDX-License-Identifier: GPL-3.0-or-later
// TGA through our own decoder: Qt's reader takes only uncompressed true-colour files that end in
// the later revision's footer, and most TGA files have neither.
#include "imaging/formatdecoders.h"
#include "imaging/targa.h"

#include <span>

namespace morvane::imaging {

DecodeResult decodeTargaFile(const QByteArray &bytes, const MemoryGate &gate)
{
    const std::span<const std::uint8_t> file(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    const TargaHeaderResult header = readTargaHeader(file, kMaxPicturePixels);
    if (header.status == TargaStatus::TooLarge)
        return {DecodeStatus::TooLarge, {}};
    if (header.status != TargaStatus::Decoded)
        return {};
    const TargaInfo &info = header.info;
    if (gate && !gate(bytes.size() + std::int64_t(info.width) * info.height * 4))
        return {};
    QImage image(
        info.width, info.height, info.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {DecodeStatus::NoMemory, {}};
    if (decodeTarga(
            file, info, reinterpret_cast<std::uint32_t *>(image.bits()), image.bytesPerLine() / 4)
        != TargaStatus::Decoded)
        return {};
    DecodeResult result {DecodeStatus::Decoded, {}};
    result.picture.fullWidth = info.width;
    result.picture.fullHeight = info.height;
    if (info.alpha) {
        // Premultiplied in place, as every decoder hands over pictures with transparency.
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    }
    result.picture.image = std::move(image);
    return result;
}

} // namespace morvane::imaging
