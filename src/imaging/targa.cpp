// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/targa.h"

#include <algorithm>
#include <array>
#include <vector>

namespace morvane::imaging {
namespace {

    constexpr std::size_t kHeaderBytes = 18;
    constexpr int kMaxRunPixels = 128;

    enum class Kind { Mapped, TrueColour, Grey };

    // The header's fields and where the picture's parts lie.
    struct Layout
    {
        TargaInfo info;
        Kind kind = Kind::TrueColour;
        bool rle = false;
        int pixelBytes = 0; // bytes of one stored pixel (or index)
        int pixelBits = 0;
        int mapFirst = 0; // the index of the colour map's first entry
        int mapLength = 0;
        int mapBits = 0;
        std::size_t mapAt = 0; // offset of the colour map
        std::size_t dataAt = 0; // offset of the picture's data
        bool topDown = false;
        bool rightToLeft = false;
        int alphaBits = 0;
    };

    int le16(std::span<const std::uint8_t> b, std::size_t at)
    {
        return b[at] | (b[at + 1] << 8);
    }

    bool depthAllowed(Kind kind, int bits)
    {
        switch (kind) {
        case Kind::Mapped:
            return bits == 8 || bits == 16;
        case Kind::TrueColour:
            return bits == 15 || bits == 16 || bits == 24 || bits == 32;
        case Kind::Grey:
            return bits == 8 || bits == 16;
        }
        return false;
    }

    // The header's fields checked one by one; NotTarga at the first that is out of range.
    TargaStatus parse(std::span<const std::uint8_t> file, std::int64_t maxPixels, Layout &l)
    {
        if (file.size() < kHeaderBytes)
            return TargaStatus::NotTarga;
        const int idLength = file[0];
        const int mapType = file[1];
        const int type = file[2];
        if (mapType > 1)
            return TargaStatus::NotTarga;
        switch (type & ~8) {
        case 1:
            l.kind = Kind::Mapped;
            break;
        case 2:
            l.kind = Kind::TrueColour;
            break;
        case 3:
            l.kind = Kind::Grey;
            break;
        default:
            return TargaStatus::NotTarga;
        }
        l.rle = (type & 8) != 0;
        l.mapFirst = le16(file, 3);
        l.mapLength = le16(file, 5);
        l.mapBits = file[7];
        l.info.width = le16(file, 12);
        l.info.height = le16(file, 14);
        l.pixelBits = file[16];
        const int descriptor = file[17];
        l.alphaBits = descriptor & 0x0F;
        l.rightToLeft = (descriptor & 0x10) != 0;
        l.topDown = (descriptor & 0x20) != 0;
        if ((descriptor & 0xC0) != 0 || !depthAllowed(l.kind, l.pixelBits))
            return TargaStatus::NotTarga;
        // Another type may carry a colour map too; it is stepped over.
        std::size_t mapBytes = 0;
        if (mapType == 1)
            mapBytes = std::size_t(l.mapLength) * std::size_t((l.mapBits + 7) / 8);
        if (l.kind == Kind::Mapped) {
            const bool entryAllowed =
                l.mapBits == 15 || l.mapBits == 16 || l.mapBits == 24 || l.mapBits == 32;
            if (mapType != 1 || !entryAllowed || l.mapLength == 0)
                return TargaStatus::NotTarga;
        }
        if (l.info.width == 0 || l.info.height == 0)
            return TargaStatus::NotTarga;
        const std::int64_t pixels = std::int64_t(l.info.width) * l.info.height;
        if (pixels > maxPixels)
            return TargaStatus::TooLarge;
        l.pixelBytes = (l.pixelBits + 7) / 8;
        l.mapAt = kHeaderBytes + std::size_t(idLength);
        l.dataAt = l.mapAt + mapBytes;
        if (l.dataAt > file.size())
            return TargaStatus::NotTarga;
        // The least data the picture can have: every pixel stored, or runs of the longest kind.
        const std::int64_t least = l.rle
            ? (pixels + kMaxRunPixels - 1) / kMaxRunPixels * (1 + l.pixelBytes)
            : pixels * l.pixelBytes;
        if (least > std::int64_t(file.size() - l.dataAt))
            return TargaStatus::NotTarga;
        const int colourBits = l.kind == Kind::Mapped ? l.mapBits : l.pixelBits;
        l.info.alpha = l.alphaBits > 0
            && (colourBits == 32 || colourBits == 16
                || (l.kind == Kind::Grey && l.pixelBits == 16));
        return TargaStatus::Decoded;
    }

    std::uint32_t from5551(int v, bool alpha)
    {
        const auto expand = [](int c) {
            return std::uint32_t((c << 3) | (c >> 2));
        };
        const std::uint32_t a = !alpha || (v & 0x8000) != 0 ? 0xFFu : 0u;
        return (a << 24) | (expand((v >> 10) & 31) << 16) | (expand((v >> 5) & 31) << 8)
            | expand(v & 31);
    }

    // One colour of `bits` bits stored little-endian at `p` (true colour or a map entry).
    std::uint32_t colourAt(const std::uint8_t *p, int bits, bool alpha)
    {
        switch (bits) {
        case 15:
        case 16:
            return from5551(p[0] | (p[1] << 8), alpha && bits == 16);
        case 24:
            return 0xFF000000u | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
        default:
            return (alpha ? std::uint32_t(p[3]) << 24 : 0xFF000000u) | (std::uint32_t(p[2]) << 16)
                | (std::uint32_t(p[1]) << 8) | p[0];
        }
    }

    // Turns stored pixels into colours: through the colour map, or directly.
    class PixelReader
    {
    public:
        PixelReader(std::span<const std::uint8_t> file, const Layout &l)
            : m_layout(l)
        {
            if (l.kind != Kind::Mapped)
                return;
            const int entryBytes = (l.mapBits + 7) / 8;
            m_map.resize(std::size_t(l.mapLength));
            for (int i = 0; i < l.mapLength; ++i)
                m_map[std::size_t(i)] = colourAt(
                    file.data() + l.mapAt + std::size_t(i) * entryBytes, l.mapBits, l.info.alpha);
        }

        // False for an index outside the colour map.
        bool read(const std::uint8_t *p, std::uint32_t &colour) const
        {
            const Layout &l = m_layout;
            switch (l.kind) {
            case Kind::Mapped: {
                const int index = (l.pixelBytes == 1 ? p[0] : p[0] | (p[1] << 8)) - l.mapFirst;
                if (index < 0 || index >= l.mapLength)
                    return false;
                colour = m_map[std::size_t(index)];
                return true;
            }
            case Kind::Grey: {
                const std::uint32_t g = p[0];
                const std::uint32_t a = l.pixelBytes == 2 && l.info.alpha ? p[1] : 0xFFu;
                colour = (a << 24) | (g << 16) | (g << 8) | g;
                return true;
            }
            case Kind::TrueColour:
                colour = colourAt(p, l.pixelBits, l.info.alpha);
                return true;
            }
            return false;
        }

    private:
        const Layout &m_layout;
        std::vector<std::uint32_t> m_map;
    };

    // Writes pixel number `n` in stored order into its place in the top-down output.
    class PixelPlacer
    {
    public:
        PixelPlacer(const Layout &l, std::uint32_t *out, std::ptrdiff_t stride)
            : m_layout(l)
            , m_out(out)
            , m_stride(stride)
        {}
        void put(std::int64_t n, std::uint32_t colour) const
        {
            const int w = m_layout.info.width;
            const auto row = static_cast<int>(n / w);
            const auto column = static_cast<int>(n % w);
            const int y = m_layout.topDown ? row : m_layout.info.height - 1 - row;
            const int x = m_layout.rightToLeft ? w - 1 - column : column;
            m_out[std::ptrdiff_t(y) * m_stride + x] = colour;
        }

    private:
        const Layout &m_layout;
        std::uint32_t *m_out;
        std::ptrdiff_t m_stride;
    };

    TargaStatus decodePlain(std::span<const std::uint8_t> file,
        const Layout &l,
        const PixelReader &reader,
        const PixelPlacer &placer)
    {
        const std::int64_t pixels = std::int64_t(l.info.width) * l.info.height;
        const std::uint8_t *p = file.data() + l.dataAt; // parse() made sure every pixel is there
        for (std::int64_t n = 0; n < pixels; ++n, p += l.pixelBytes) {
            std::uint32_t colour = 0;
            if (!reader.read(p, colour))
                return TargaStatus::NotTarga;
            placer.put(n, colour);
        }
        return TargaStatus::Decoded;
    }

    TargaStatus decodeRuns(std::span<const std::uint8_t> file,
        const Layout &l,
        const PixelReader &reader,
        const PixelPlacer &placer)
    {
        const std::int64_t pixels = std::int64_t(l.info.width) * l.info.height;
        const auto bytes = std::size_t(l.pixelBytes);
        std::size_t at = l.dataAt;
        std::int64_t n = 0;
        while (n < pixels) {
            if (at >= file.size())
                return TargaStatus::NotTarga;
            const int packet = file[at++];
            const bool run = (packet & 0x80) != 0;
            const std::int64_t count = std::min<std::int64_t>((packet & 0x7F) + 1, pixels - n);
            const std::size_t stored = run ? bytes : bytes * std::size_t((packet & 0x7F) + 1);
            if (stored > file.size() - at)
                return TargaStatus::NotTarga;
            std::uint32_t colour = 0;
            for (std::int64_t i = 0; i < count; ++i) {
                const std::size_t from = at + (run ? 0 : std::size_t(i) * bytes);
                if ((i == 0 || !run) && !reader.read(file.data() + from, colour))
                    return TargaStatus::NotTarga;
                placer.put(n + i, colour);
            }
            at += stored;
            n += count;
        }
        return TargaStatus::Decoded;
    }

    // Writers that leave the alpha bits unused fill them with zeros: such a picture would show
    // nothing at all, so it is shown opaque.
    void opaqueWhenAllClear(const TargaInfo &info, std::uint32_t *out, std::ptrdiff_t stride)
    {
        for (int y = 0; y < info.height; ++y) {
            const std::uint32_t *row = out + std::ptrdiff_t(y) * stride;
            if (std::any_of(row, row + info.width, [](std::uint32_t c) {
                    return c >> 24 != 0;
                }))
                return;
        }
        for (int y = 0; y < info.height; ++y) {
            std::uint32_t *row = out + std::ptrdiff_t(y) * stride;
            for (int x = 0; x < info.width; ++x)
                row[x] |= 0xFF000000u;
        }
    }

} // namespace

TargaHeaderResult readTargaHeader(std::span<const std::uint8_t> file, std::int64_t maxPixels)
{
    Layout l;
    const TargaStatus status = parse(file, maxPixels, l);
    if (status != TargaStatus::Decoded)
        return {status, {}};
    return {TargaStatus::Decoded, l.info};
}

TargaStatus decodeTarga(std::span<const std::uint8_t> file,
    const TargaInfo &info,
    std::uint32_t *out,
    std::ptrdiff_t stride)
{
    Layout l;
    const std::int64_t pixels = std::int64_t(info.width) * info.height;
    if (parse(file, pixels, l) != TargaStatus::Decoded || l.info.width != info.width
        || l.info.height != info.height || stride < info.width)
        return TargaStatus::NotTarga;
    const PixelReader reader(file, l);
    const PixelPlacer placer(l, out, stride);
    const TargaStatus status =
        l.rle ? decodeRuns(file, l, reader, placer) : decodePlain(file, l, reader, placer);
    if (status == TargaStatus::Decoded && l.info.alpha)
        opaqueWhenAllClear(l.info, out, stride);
    return status;
}

} // namespace morvane::imaging
