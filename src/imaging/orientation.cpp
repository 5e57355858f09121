// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/orientation.h"

#include <cstdint>
#include <cstring>

namespace morvane::imaging {
namespace {

    constexpr std::uint16_t kOrientationTag = 0x0112;
    constexpr std::uint16_t kShortType = 3;

    // Big- or little-endian reads inside `bytes`; a read past the end fails.
    struct Reader
    {
        std::span<const unsigned char> bytes;
        bool bigEndian = true;

        [[nodiscard]] bool has(std::size_t at, std::size_t count) const noexcept
        {
            return at <= bytes.size() && count <= bytes.size() - at;
        }
        [[nodiscard]] std::uint32_t u16(std::size_t at) const noexcept
        {
            const std::uint32_t a = bytes[at];
            const std::uint32_t b = bytes[at + 1];
            return bigEndian ? (a << 8) | b : (b << 8) | a;
        }
        [[nodiscard]] std::uint32_t u32(std::size_t at) const noexcept
        {
            const std::uint32_t hi = u16(at);
            const std::uint32_t lo = u16(at + 2);
            return bigEndian ? (hi << 16) | lo : (lo << 16) | hi;
        }
    };

    bool startsWith(std::span<const unsigned char> bytes, const char *text, std::size_t n) noexcept
    {
        return bytes.size() >= n && std::memcmp(bytes.data(), text, n) == 0;
    }

    // An Exif payload that may begin with "Exif\0\0" before its TIFF header.
    int exifPayloadOrientation(std::span<const unsigned char> payload) noexcept
    {
        if (startsWith(payload, "Exif\0\0", 6))
            payload = payload.subspan(6);
        return tiffOrientation(payload);
    }

} // namespace

int tiffOrientation(std::span<const unsigned char> tiff) noexcept
{
    Reader r {tiff};
    if (startsWith(tiff, "II*\0", 4))
        r.bigEndian = false;
    else if (!startsWith(tiff, "MM\0*", 4))
        return 0;
    if (!r.has(4, 4))
        return 0;
    const std::uint32_t ifd = r.u32(4);
    if (!r.has(ifd, 2))
        return 0;
    const std::uint32_t count = r.u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (!r.has(entry, 12))
            return 0;
        if (r.u16(entry) != kOrientationTag)
            continue;
        if (r.u16(entry + 2) != kShortType || r.u32(entry + 4) < 1)
            return 0;
        const std::uint32_t value = r.u16(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
    }
    return 0;
}

int jpegOrientation(std::span<const unsigned char> file) noexcept
{
    const Reader r {file};
    if (!r.has(0, 2) || file[0] != 0xFF || file[1] != 0xD8)
        return 0;
    std::size_t at = 2;
    while (r.has(at, 4)) {
        if (file[at] != 0xFF)
            return 0;
        const unsigned char marker = file[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        // The Exif block stands before the image data: a scan or the end ends the search.
        if (marker == 0xDA || marker == 0xD9)
            return 0;
        const std::uint32_t length = r.u16(at + 2);
        if (length < 2 || !r.has(at + 2, length))
            return 0;
        const std::span<const unsigned char> payload = file.subspan(at + 4, length - 2);
        if (marker == 0xE1 && startsWith(payload, "Exif\0\0", 6))
            return tiffOrientation(payload.subspan(6));
        at += 2 + length;
    }
    return 0;
}

int pngOrientation(std::span<const unsigned char> file) noexcept
{
    const Reader r {file};
    if (!startsWith(file, "\x89PNG\r\n\x1a\n", 8))
        return 0;
    std::size_t at = 8;
    while (r.has(at, 12)) {
        const std::uint32_t length = r.u32(at);
        if (!r.has(at + 8, std::size_t(length) + 4))
            return 0;
        const std::span<const unsigned char> type = file.subspan(at + 4, 4);
        if (startsWith(type, "eXIf", 4))
            return exifPayloadOrientation(file.subspan(at + 8, length));
        if (startsWith(type, "IEND", 4))
            return 0;
        at += std::size_t(length) + 12;
    }
    return 0;
}

int webpOrientation(std::span<const unsigned char> file) noexcept
{
    Reader r {file};
    r.bigEndian = false;
    if (!startsWith(file, "RIFF", 4) || !r.has(8, 4)
        || std::memcmp(file.data() + 8, "WEBP", 4) != 0)
        return 0;
    std::size_t at = 12;
    while (r.has(at, 8)) {
        const std::uint32_t length = r.u32(at + 4);
        if (!r.has(at + 8, length))
            return 0;
        if (std::memcmp(file.data() + at, "EXIF", 4) == 0)
            return exifPayloadOrientation(file.subspan(at + 8, length));
        at += 8 + std::size_t(length) + (length & 1U); // chunks are padded to even sizes
    }
    return 0;
}

} // namespace morvane::imaging
