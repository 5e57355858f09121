// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifreader.h"

#include <algorithm>

namespace morvane::exif {

ExifError makeError(ExifErrorKind kind, std::string_view path)
{
    switch (kind) {
    case ExifErrorKind::OpenFailed:
        return {kind, "ファイル " + std::string(path) + " は開けません"};
    case ExifErrorKind::OutOfMemory:
        return {kind, "メモリストリームの拡大中にメモリが足りなくなりました"};
    case ExifErrorKind::ReadPastEnd:
        return {kind, "ストリームからの読み込みエラー"};
    case ExifErrorKind::DivisionByZero:
        return {kind, "0 による浮動小数点数除算"};
    case ExifErrorKind::InvalidOperation:
        return {kind, "不正な浮動小数点数演算命令"};
    case ExifErrorKind::Overflow:
        return {kind, "浮動小数点数のオーバーフロー"};
    }
    return {ExifErrorKind::ReadPastEnd, "ストリームからの読み込みエラー"};
}

std::optional<ValueKind> valueKindOf(std::uint16_t t) noexcept
{
    switch (t) {
    case tag::Make:
    case tag::Model:
    case tag::DateTimeOriginal:
        return ValueKind::Text;
    case tag::ExposureProgram:
    case tag::IsoSpeedRatings:
    case tag::MeteringMode:
    case tag::Flash:
    case tag::PixelXDimension:
    case tag::PixelYDimension:
        return ValueKind::Short;
    case tag::ExposureTime:
    case tag::FNumber:
    case tag::CompressedBitsPerPixel:
    case tag::ShutterSpeedValue:
    case tag::ApertureValue:
    case tag::ExposureBiasValue:
    case tag::MaxApertureValue:
    case tag::FocalLength:
        return ValueKind::Rational;
    default:
        return std::nullopt;
    }
}

namespace {

    // The search window for the start-of-image marker: positions 0 to 255.
    constexpr std::uint64_t kSearchWindow = 256;
    constexpr std::uint64_t kEntrySize = 12;
    constexpr std::uint16_t kLongType = 4;

    // Positioned, exact reads in the file image. Positions are 64-bit so that a base plus any
    // 32-bit offset can neither wrap nor turn negative; a position outside the file fails.
    class Image
    {
    public:
        explicit Image(std::span<const std::uint8_t> bytes)
            : m_bytes(bytes)
        {}

        [[nodiscard]] std::uint64_t size() const noexcept { return m_bytes.size(); }
        [[nodiscard]] bool fits(std::uint64_t pos, std::uint64_t len) const noexcept
        {
            return pos <= size() && len <= size() - pos;
        }
        [[nodiscard]] std::uint8_t at(std::uint64_t pos) const noexcept
        {
            return m_bytes[static_cast<std::size_t>(pos)];
        }
        void setBigEndian(bool big) noexcept { m_big = big; }

        [[nodiscard]] bool u16(std::uint64_t pos, std::uint16_t &out) const noexcept
        {
            if (!fits(pos, 2))
                return false;
            const unsigned a = at(pos);
            const unsigned b = at(pos + 1);
            out = static_cast<std::uint16_t>(m_big ? (a << 8 | b) : (b << 8 | a));
            return true;
        }
        [[nodiscard]] bool u32(std::uint64_t pos, std::uint32_t &out) const noexcept
        {
            if (!fits(pos, 4))
                return false;
            std::uint32_t v = 0;
            for (std::uint64_t i = 0; i < 4; ++i)
                v |= static_cast<std::uint32_t>(at(pos + i)) << (8 * i);
            out = m_big ? swapLong(v) : v;
            return true;
        }

    private:
        std::span<const std::uint8_t> m_bytes;
        bool m_big = false;
    };

    std::optional<ExifError> readError()
    {
        return makeError(ExifErrorKind::ReadPastEnd);
    }

    class Walker
    {
    public:
        Walker(std::span<const std::uint8_t> file, ExifEntrySink &sink)
            : m_image(file)
            , m_sink(sink)
        {}

        std::optional<ExifError> run()
        {
            // The last probe is the last position where two bytes still fit, so a short file
            // without the marker simply has no Exif.
            std::optional<std::uint64_t> soi;
            for (std::uint64_t p = 0; p < kSearchWindow && m_image.fits(p, 2); ++p) {
                if (m_image.at(p) == 0xFF && m_image.at(p + 1) == 0xD8) {
                    soi = p;
                    break;
                }
            }
            if (!soi)
                return std::nullopt;

            if (!m_image.fits(*soi + 2, 2))
                return readError();
            if (m_image.at(*soi + 2) != 0xFF || m_image.at(*soi + 3) != 0xE1) {
                m_sink.noExif();
                return std::nullopt;
            }

            m_tiffBase = *soi + 12;
            if (!m_image.fits(m_tiffBase, 2))
                return readError();
            m_image.setBigEndian(
                m_image.at(m_tiffBase) == 'M' && m_image.at(m_tiffBase + 1) == 'M');

            std::uint32_t ifd0 = 0;
            if (!m_image.u32(m_tiffBase + 4, ifd0))
                return readError();
            return walk(m_tiffBase + ifd0 + 2);
        }

    private:
        // Entries are examined 12 bytes apart until a zero tag or the end of the file; the one
        // jump (the Exif pointer) may go backwards, and a second pointer is stepped over, so
        // a pointer cycle cannot repeat the walk.
        std::optional<ExifError> walk(std::uint64_t pos)
        {
            bool pointerFollowed = false;
            while (pos < m_image.size()) {
                std::uint16_t t = 0;
                std::uint32_t count = 0;
                if (!m_image.u16(pos, t))
                    return readError();
                // A zero tag ends the walk before its count is read: a block whose last
                // directory link stands at the very end of the file is complete, not cut.
                if (t == tag::End)
                    return std::nullopt;
                if (!m_image.u32(pos + 4, count))
                    return readError();
                if (t == tag::ExifPointer) {
                    if (pointerFollowed) {
                        pos += kEntrySize;
                        continue;
                    }
                    std::uint32_t offset = 0;
                    if (!m_image.u32(pos + 8, offset))
                        return readError();
                    if (count > 1 && !m_image.u32(m_tiffBase + offset, offset))
                        return readError();
                    pointerFollowed = true;
                    pos = m_tiffBase + offset + 2;
                    continue;
                }
                if (const auto kind = valueKindOf(t)) {
                    const ValueRequest want = m_sink.request(t);
                    if (want != ValueRequest::Skip) {
                        if (auto error = decode(pos, t, count, *kind, want))
                            return error;
                    }
                }
                pos += kEntrySize;
            }
            return std::nullopt;
        }

        std::optional<ExifError> decode(std::uint64_t pos,
            std::uint16_t t,
            std::uint32_t count,
            ValueKind kind,
            ValueRequest want)
        {
            ExifEntry e;
            e.tag = t;
            switch (kind) {
            case ValueKind::Text:
                if (!readText(pos, count, want == ValueRequest::Decode, e))
                    return readError();
                break;
            case ValueKind::Short:
                if (!readShort(pos, t, count, e.number))
                    return readError();
                break;
            case ValueKind::Rational: {
                // A rational without a value has nothing to show; FNumber's pair is read
                // whatever its count.
                if (count == 0 && t != tag::FNumber)
                    return std::nullopt;
                std::uint32_t offset = 0;
                if (!m_image.u32(pos + 8, offset) || !m_image.u32(m_tiffBase + offset, e.numerator)
                    || !m_image.u32(m_tiffBase + offset + 4, e.denominator)) {
                    return readError();
                }
                break;
            }
            }
            if (want != ValueRequest::Decode)
                return std::nullopt;
            return m_sink.entry(e);
        }

        // A count of 0, or one with its top bit set, reads nothing. Up to 4 bytes stand in the
        // value field itself; longer texts lie at an offset. The whole text must lie inside the
        // file, but only the first kMaxTextBytes are examined.
        bool readText(std::uint64_t pos, std::uint32_t count, bool keep, ExifEntry &e) const
        {
            if (count == 0 || (count & 0x80000000U) != 0)
                return true;
            std::uint64_t start = pos + 8;
            if (count > 4) {
                std::uint32_t offset = 0;
                if (!m_image.u32(pos + 8, offset))
                    return false;
                start = m_tiffBase + offset;
            }
            if (!m_image.fits(start, count))
                return false;
            if (!keep)
                return true;
            const std::uint64_t examined = std::min<std::uint64_t>(count, kMaxTextBytes);
            e.textCut = examined < count;
            for (std::uint64_t i = 0; i < examined; ++i) {
                const std::uint8_t b = m_image.at(start + i);
                if (b >= 0x14)
                    e.text += static_cast<char>(b);
            }
            return true;
        }

        // The first two bytes of the value field. ISO speed and the pixel dimensions with 3 or
        // more values keep them at an offset: the first one is taken. Pixel dimensions stored as
        // 32-bit values are read as 32-bit values, so a big-endian file gives its real size.
        bool readShort(
            std::uint64_t pos, std::uint16_t t, std::uint32_t count, std::uint32_t &out) const
        {
            const bool pixel = t == tag::PixelXDimension || t == tag::PixelYDimension;
            const bool indirectCapable = pixel || t == tag::IsoSpeedRatings;
            if (pixel) {
                std::uint16_t type = 0;
                if (!m_image.u16(pos + 2, type))
                    return false;
                if (type == kLongType) {
                    std::uint64_t at = pos + 8;
                    if (count >= 2) {
                        std::uint32_t offset = 0;
                        if (!m_image.u32(pos + 8, offset))
                            return false;
                        at = m_tiffBase + offset;
                    }
                    return m_image.u32(at, out);
                }
            }
            std::uint64_t at = pos + 8;
            if (indirectCapable && count >= 3) {
                std::uint32_t offset = 0;
                if (!m_image.u32(pos + 8, offset))
                    return false;
                at = m_tiffBase + offset;
            }
            std::uint16_t v = 0;
            if (!m_image.u16(at, v))
                return false;
            out = v;
            return true;
        }

        Image m_image;
        ExifEntrySink &m_sink;
        std::uint64_t m_tiffBase = 0;
    };

} // namespace

std::optional<ExifError> walkExif(std::span<const std::uint8_t> file, ExifEntrySink &sink)
{
    return Walker(file, sink).run();
}

} // namespace morvane::exif
