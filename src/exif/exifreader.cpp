// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifreader.h"

#include "exif/exifcontainers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

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

    // Positioned, exact reads of the file through a direct-mapped cache of blocks, each read
    // from the source the first time the walk needs it, and through a window that follows the
    // walk's entries. Positions are 64-bit so that a base plus any 32-bit offset can neither wrap
    // nor turn negative; a position outside the file, or bytes the source could not deliver (the
    // file shrank or failed meanwhile), fail the read.
    class Image
    {
    public:
        explicit Image(ByteSource &source)
            : m_source(source)
            , m_size(source.size())
        {}

        // Takes memory for the blocks: as many as the file has, up to `cacheBytes`, fewer when
        // memory is short. False when not even one block can be had.
        [[nodiscard]] bool reserve(std::size_t cacheBytes)
        {
            const std::uint64_t fileBlocks = std::max<std::uint64_t>(
                1, m_size / kReadBlockBytes + (m_size % kReadBlockBytes != 0 ? 1 : 0));
            const std::uint64_t limit = std::max<std::size_t>(1, cacheBytes / kReadBlockBytes);
            // A power of two, so that a block's slot is a mask of its number.
            std::uint64_t slots = std::bit_floor(limit);
            while (slots > 1 && slots / 2 >= fileBlocks)
                slots /= 2;
            for (; slots >= 1; slots /= 2) {
                const auto count = static_cast<std::size_t>(slots);
                // Not initialised: the pages of blocks the walk never reads are never touched.
                m_data.reset(new (std::nothrow) std::uint8_t[count * kReadBlockBytes]);
                m_blocks.reset(new (std::nothrow) std::uint64_t[count]);
                if (m_data && m_blocks) {
                    std::fill_n(m_blocks.get(), count, kNoBlock);
                    m_mask = slots - 1;
                    m_source.cacheReserved(std::span(m_data.get(), count * kReadBlockBytes));
                    return true;
                }
            }
            return false;
        }

        [[nodiscard]] std::uint64_t size() const noexcept { return m_size; }
        [[nodiscard]] bool fits(std::uint64_t pos, std::uint64_t len) const noexcept
        {
            return pos <= m_size && len <= m_size - pos;
        }
        void setBigEndian(bool big) noexcept { m_big = big; }

        // The `len` bytes at `pos`.
        [[nodiscard]] bool copy(std::uint64_t pos, std::size_t len, std::uint8_t *out)
        {
            if (!fits(pos, len))
                return false;
            while (len > 0) {
                const std::size_t offset = static_cast<std::size_t>(pos % kReadBlockBytes);
                const std::size_t n = std::min(len, kReadBlockBytes - offset);
                const std::uint8_t *block = load(pos / kReadBlockBytes, offset + n);
                if (block == nullptr)
                    return false;
                std::memcpy(out, block + offset, n);
                out += n;
                pos += n;
                len -= n;
            }
            return true;
        }

        // The N bytes at `pos`. The common case, bytes inside one block already read, is a
        // lookup and a copy; everything else goes through copy().
        template <std::size_t N>
        [[nodiscard]] bool fixed(std::uint64_t pos, std::array<std::uint8_t, N> &out)
        {
            const std::uint64_t block = pos / kReadBlockBytes;
            const auto offset = static_cast<std::size_t>(pos % kReadBlockBytes);
            const auto index = static_cast<std::size_t>(block & m_mask);
            if (offset + N <= kReadBlockBytes && m_blocks[index] == block && fits(pos, N)) {
                std::memcpy(out.data(), m_data.get() + index * kReadBlockBytes + offset, N);
                return true;
            }
            return copy(pos, N, out.data());
        }

        // The N bytes at `pos` for a caller that moves forward through the file (the walk's
        // entries): they come from a window of their own, refilled as the walk passes its end, so
        // a long run of entries neither evicts the cached blocks nor takes new memory.
        template <std::size_t N>
        [[nodiscard]] bool ahead(std::uint64_t pos, std::array<std::uint8_t, N> &out)
        {
            if (pos < m_windowStart || pos - m_windowStart + N > m_windowValid) {
                if (!fits(pos, N))
                    return false;
                const auto want = static_cast<std::size_t>(
                    std::min<std::uint64_t>(m_window.size(), m_size - pos));
                m_windowStart = pos;
                m_windowValid = m_source.read(pos, std::span(m_window.data(), want));
                if (m_windowValid < N)
                    return false;
            }
            std::memcpy(out.data(), m_window.data() + (pos - m_windowStart), N);
            return true;
        }

        [[nodiscard]] bool u16(std::uint64_t pos, std::uint16_t &out)
        {
            std::array<std::uint8_t, 2> b {};
            if (!fixed(pos, b))
                return false;
            out = get16(b.data());
            return true;
        }
        [[nodiscard]] bool u32(std::uint64_t pos, std::uint32_t &out)
        {
            std::array<std::uint8_t, 4> b {};
            if (!fixed(pos, b))
                return false;
            out = get32(b.data());
            return true;
        }

        // The value of the bytes at `p`, byte order applied.
        [[nodiscard]] std::uint16_t get16(const std::uint8_t *p) const noexcept
        {
            return static_cast<std::uint16_t>(m_big ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
        }
        [[nodiscard]] std::uint32_t get32(const std::uint8_t *p) const noexcept
        {
            std::uint32_t v = 0;
            for (std::size_t i = 0; i < 4; ++i)
                v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
            return m_big ? swapLong(v) : v;
        }

    private:
        static constexpr std::uint64_t kNoBlock = ~std::uint64_t {0};

        // Block `block`, of which at least `needed` bytes must be there; null when the source
        // delivered fewer. Only whole blocks (up to the end of the file) are kept: a short read
        // (the file shrank or failed) serves the one request and is asked again next time.
        const std::uint8_t *load(std::uint64_t block, std::size_t needed)
        {
            const auto index = static_cast<std::size_t>(block & m_mask);
            std::uint8_t *data = m_data.get() + index * kReadBlockBytes;
            if (m_blocks[index] == block)
                return data;
            const std::uint64_t start = block * kReadBlockBytes;
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlockBytes, m_size - start));
            const std::size_t got = m_source.read(start, std::span(data, want));
            m_blocks[index] = got >= want ? block : kNoBlock;
            return needed <= got ? data : nullptr;
        }

        ByteSource &m_source;
        std::uint64_t m_size = 0;
        std::unique_ptr<std::uint8_t[]> m_data;
        std::unique_ptr<std::uint64_t[]> m_blocks; // the block each slot holds
        std::uint64_t m_mask = 0;
        std::array<std::uint8_t, 4096> m_window {}; // bytes from m_windowStart on
        std::uint64_t m_windowStart = 0;
        std::size_t m_windowValid = 0;
        bool m_big = false;
    };

    std::optional<ExifError> readError()
    {
        return makeError(ExifErrorKind::ReadPastEnd);
    }

    // Where the walk's TIFF header stands in the source it reads.
    enum class Origin {
        Jpeg, // after the start-of-image marker searched in the first 256 bytes
        Tiff, // at position 0: a TIFF file or a block a container parser found
    };

    class Walker
    {
    public:
        Walker(ByteSource &file, ExifEntrySink &sink)
            : m_image(file)
            , m_sink(sink)
        {}

        std::optional<ExifError> run(std::size_t cacheBytes, Origin origin)
        {
            if (!m_image.reserve(cacheBytes))
                return makeError(ExifErrorKind::OutOfMemory);
            bool found = true;
            if (auto error = locate(origin, found); error || !found)
                return error;
            using Pair = std::array<std::uint8_t, 2>;
            Pair pair {};
            if (!m_image.fixed(m_tiffBase, pair))
                return readError();
            m_image.setBigEndian(pair == Pair {'M', 'M'});

            std::uint32_t ifd0 = 0;
            if (!m_image.u32(m_tiffBase + 4, ifd0))
                return readError();
            return walk(m_tiffBase + ifd0 + 2);
        }

        // The Orientation entry of the first directory, its entry count bounding the search:
        // where its value lies, or nothing for a value outside 1 to 8.
        std::optional<OrientationSlot> orientationSlot(Origin origin)
        {
            bool found = true;
            if (!m_image.reserve(kReadBlockBytes) || locate(origin, found) || !found)
                return std::nullopt;
            using Pair = std::array<std::uint8_t, 2>;
            Pair pair {};
            std::uint32_t ifd0 = 0;
            std::uint16_t count = 0;
            if (!m_image.fixed(m_tiffBase, pair))
                return std::nullopt;
            const bool bigEndian = pair == Pair {'M', 'M'};
            m_image.setBigEndian(bigEndian);
            if (!m_image.u32(m_tiffBase + 4, ifd0) || !m_image.u16(m_tiffBase + ifd0, count))
                return std::nullopt;
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint64_t entry = m_tiffBase + ifd0 + 2 + i * kEntrySize;
                std::uint16_t t = 0;
                std::uint16_t type = 0;
                std::uint32_t value = 0;
                if (!m_image.u16(entry, t) || !m_image.u16(entry + 2, type))
                    return std::nullopt;
                if (t != kOrientationTag)
                    continue;
                std::uint16_t v16 = 0;
                if (type == kLongType ? !m_image.u32(entry + 8, value)
                                      : !m_image.u16(entry + 8, v16))
                    return std::nullopt;
                if (type != kLongType)
                    value = v16;
                if (value >= 1 && value <= 8)
                    return OrientationSlot {
                        entry + 8, type == kLongType ? 4 : 2, bigEndian, static_cast<int>(value)};
                return std::nullopt;
            }
            return std::nullopt;
        }

    private:
        static constexpr std::uint16_t kOrientationTag = 0x0112;

        // Sets m_tiffBase; `found` false (and the sink told when a marker was there) when there
        // is nothing to walk.
        std::optional<ExifError> locate(Origin origin, bool &found)
        {
            found = true;
            if (origin == Origin::Tiff) {
                m_tiffBase = 0;
                return std::nullopt;
            }
            // The last probe is the last position where two bytes still fit, so a short file
            // without the marker simply has no Exif.
            using Pair = std::array<std::uint8_t, 2>;
            Pair pair {};
            std::optional<std::uint64_t> soi;
            for (std::uint64_t p = 0; p < kSearchWindow && m_image.fits(p, 2); ++p) {
                if (!m_image.fixed(p, pair))
                    return readError();
                if (pair == Pair {0xFF, 0xD8}) {
                    soi = p;
                    break;
                }
            }
            found = false;
            if (!soi)
                return std::nullopt;

            if (!m_image.fixed(*soi + 2, pair))
                return readError();
            if (pair == Pair {0xFF, 0xE1}) {
                m_tiffBase = *soi + 12;
                found = true;
                return std::nullopt;
            }
            std::optional<std::uint64_t> later;
            if (auto error = laterExifSegment(*soi + 2, later))
                return error;
            if (!later) {
                m_sink.noExif();
                return std::nullopt;
            }
            m_tiffBase = *later + 10;
            found = true;
            return std::nullopt;
        }

        // The first APP1 segment with the Exif identifier among the leading segments from
        // `pos` on: application segments (APP0 of JFIF, APP2 of a colour profile...) and
        // comments, each "FF marker, 2-byte big-endian length, payload", fill bytes FF allowed
        // between them. Any other marker (tables, frame, scan), a byte that is not a marker, a
        // length below 2 or the end of the file ends the search without a segment.
        std::optional<ExifError> laterExifSegment(
            std::uint64_t pos, std::optional<std::uint64_t> &out)
        {
            std::array<std::uint8_t, 4> head {};
            std::array<std::uint8_t, 5> id {};
            while (m_image.fits(pos, head.size())) {
                if (!m_image.fixed(pos, head))
                    return readError();
                if (head[0] != 0xFF)
                    return std::nullopt;
                if (head[1] == 0xFF) {
                    ++pos;
                    continue;
                }
                const std::uint8_t marker = head[1];
                const unsigned length = unsigned {head[2]} << 8 | head[3];
                if ((marker < 0xE0 || marker > 0xEF) && marker != 0xFE)
                    return std::nullopt;
                if (length < 2)
                    return std::nullopt;
                if (marker == 0xE1 && m_image.fits(pos + 4, id.size())) {
                    if (!m_image.fixed(pos + 4, id))
                        return readError();
                    if (std::memcmp(id.data(), "Exif\0", id.size()) == 0) {
                        out = pos;
                        return std::nullopt;
                    }
                }
                pos += 2 + length;
            }
            return std::nullopt;
        }

    private:
        // Entries are examined 12 bytes apart until a zero tag or the end of the file; the one
        // jump (the Exif pointer) may go backwards, and a second pointer is stepped over, so
        // a pointer cycle cannot repeat the walk.
        std::optional<ExifError> walk(std::uint64_t pos)
        {
            bool pointerFollowed = false;
            while (pos < m_image.size()) {
                m_entryPos = pos;
                m_entryWhole = m_image.ahead(pos, m_entry);
                std::uint16_t t = 0;
                std::uint32_t count = 0;
                if (!field16(0, t))
                    return readError();
                // A zero tag ends the walk before its count is read: a block whose last
                // directory link stands at the very end of the file is complete, not cut.
                if (t == tag::End)
                    return std::nullopt;
                if (!field32(4, count))
                    return readError();
                if (t == tag::ExifPointer) {
                    if (pointerFollowed) {
                        pos += kEntrySize;
                        continue;
                    }
                    std::uint32_t offset = 0;
                    if (!field32(8, offset))
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
                if (!readShort(t, count, e.number))
                    return readError();
                break;
            case ValueKind::Rational: {
                // A rational without a value has nothing to show; FNumber's pair is read
                // whatever its count.
                if (count == 0 && t != tag::FNumber)
                    return std::nullopt;
                std::uint32_t offset = 0;
                std::array<std::uint8_t, 8> terms {};
                if (!field32(8, offset) || !m_image.fixed(m_tiffBase + offset, terms))
                    return readError();
                e.numerator = m_image.get32(terms.data());
                e.denominator = m_image.get32(terms.data() + 4);
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
        bool readText(std::uint64_t pos, std::uint32_t count, bool keep, ExifEntry &e)
        {
            if (count == 0 || (count & 0x80000000U) != 0)
                return true;
            std::uint64_t start = pos + 8;
            if (count > 4) {
                std::uint32_t offset = 0;
                if (!field32(8, offset))
                    return false;
                start = m_tiffBase + offset;
            }
            if (!m_image.fits(start, count))
                return false;
            if (!keep)
                return true;
            const auto examined =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, kMaxTextBytes));
            e.textCut = examined < count;
            std::array<std::uint8_t, kMaxTextBytes> bytes {};
            if (!m_image.copy(start, examined, bytes.data()))
                return false;
            for (std::size_t i = 0; i < examined; ++i) {
                if (bytes[i] >= 0x14)
                    e.text += static_cast<char>(bytes[i]);
            }
            return true;
        }

        // The first two bytes of the value field. ISO speed and the pixel dimensions with 3 or
        // more values keep them at an offset: the first one is taken. Pixel dimensions stored as
        // 32-bit values are read as 32-bit values, so a big-endian file gives its real size.
        bool readShort(std::uint16_t t, std::uint32_t count, std::uint32_t &out)
        {
            const bool pixel = t == tag::PixelXDimension || t == tag::PixelYDimension;
            const bool indirectCapable = pixel || t == tag::IsoSpeedRatings;
            if (pixel) {
                std::uint16_t type = 0;
                if (!field16(2, type))
                    return false;
                if (type == kLongType) {
                    if (count < 2)
                        return field32(8, out);
                    std::uint32_t offset = 0;
                    return field32(8, offset) && m_image.u32(m_tiffBase + offset, out);
                }
            }
            std::uint16_t v = 0;
            if (indirectCapable && count >= 3) {
                std::uint32_t offset = 0;
                if (!field32(8, offset) || !m_image.u16(m_tiffBase + offset, v))
                    return false;
            } else if (!field16(8, v)) {
                return false;
            }
            out = v;
            return true;
        }

        // A field of the entry at m_entryPos: from the entry's 12 bytes read at once, or, when
        // the file ends inside the entry, read alone, so a cut entry fails only at a field the
        // walk needs.
        bool field16(std::uint64_t offset, std::uint16_t &out)
        {
            if (!m_entryWhole)
                return m_image.u16(m_entryPos + offset, out);
            out = m_image.get16(m_entry.data() + offset);
            return true;
        }
        bool field32(std::uint64_t offset, std::uint32_t &out)
        {
            if (!m_entryWhole)
                return m_image.u32(m_entryPos + offset, out);
            out = m_image.get32(m_entry.data() + offset);
            return true;
        }

        Image m_image;
        ExifEntrySink &m_sink;
        std::uint64_t m_tiffBase = 0;
        std::uint64_t m_entryPos = 0;
        std::array<std::uint8_t, kEntrySize> m_entry {};
        bool m_entryWhole = false;
    };

} // namespace

std::size_t MemorySource::read(std::uint64_t pos, std::span<std::uint8_t> out)
{
    if (pos >= m_bytes.size())
        return 0;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_bytes.size() - pos));
    if (n > 0) // an empty span may have no storage at all
        std::memcpy(out.data(), m_bytes.data() + pos, n);
    return n;
}

namespace {

    // Calls `use(source, origin)` with the source the walk reads: the file itself, or the block
    // its container keeps the Exif in. Sets `absent` when the container holds no Exif block, and
    // gives the read error when the source failed while the block was looked for.
    template <class Use>
    std::optional<ExifError> withExifSource(ByteSource &file, bool &absent, const Use &use)
    {
        absent = false;
        ExifBlock block;
        Origin origin = Origin::Tiff;
        switch (containerOf(file)) {
        case Container::Other:
            return use(file, Origin::Jpeg);
        case Container::Tiff:
            return use(file, Origin::Tiff);
        case Container::BigTiff:
            block = findBigTiffExif(file);
            break;
        case Container::Png:
            block = findPngExif(file);
            break;
        case Container::WebP:
            block = findWebpExif(file);
            break;
        case Container::Heif:
            block = findHeifExif(file);
            break;
        case Container::Cr3:
            block = findCr3Exif(file);
            break;
        case Container::JpegXl:
            block = findJxlExif(file);
            break;
        case Container::Raf:
            block = findRafJpeg(file);
            origin = Origin::Jpeg;
            break;
        }
        switch (block.status) {
        case ExifBlock::Status::ReadError:
            return readError();
        case ExifBlock::Status::Absent:
            absent = true;
            return std::nullopt;
        case ExifBlock::Status::Found:
            break;
        }
        BlockSource source(file, block);
        return use(source, origin);
    }

} // namespace

std::optional<ExifError> walkExif(ByteSource &file, ExifEntrySink &sink, std::size_t cacheBytes)
{
    bool absent = false;
    auto error = withExifSource(file, absent, [&](ByteSource &source, Origin origin) {
        return Walker(source, sink).run(cacheBytes, origin);
    });
    if (absent)
        sink.noExif();
    return error;
}

namespace {

    // The sink of the Orientation searches, never asked for anything: they only read the first
    // directory.
    class NoSink final : public ExifEntrySink
    {
    public:
        void noExif() override {}
        [[nodiscard]] ValueRequest request(std::uint16_t) const override
        {
            return ValueRequest::Skip;
        }
        [[nodiscard]] std::optional<ExifError> entry(const ExifEntry &) override
        {
            return std::nullopt;
        }
    };

} // namespace

std::optional<int> orientation(ByteSource &file)
{
    NoSink sink;
    std::optional<int> result;
    bool absent = false;
    (void)withExifSource(file, absent, [&](ByteSource &source, Origin origin) {
        if (auto slot = Walker(source, sink).orientationSlot(origin))
            result = slot->value;
        return std::optional<ExifError> {};
    });
    return result;
}

std::optional<int> orientation(std::span<const std::uint8_t> file)
{
    MemorySource source(file);
    return orientation(source);
}

std::optional<OrientationSlot> jpegOrientationSlot(ByteSource &file)
{
    // Only a file that is a JPEG from its first byte: the slot's position is then the file's.
    std::array<std::uint8_t, 2> soi {};
    if (file.size() < soi.size() || file.read(0, soi) != soi.size() || soi[0] != 0xFF
        || soi[1] != 0xD8 || containerOf(file) != Container::Other)
        return std::nullopt;
    // The walk takes an APP1 right after the start-of-image marker as Exif unchecked; a rewrite
    // must not trust an XMP segment's bytes as directory entries.
    std::array<std::uint8_t, 8> app1 {};
    if (file.size() >= 2 + app1.size() && file.read(2, app1) == app1.size() && app1[0] == 0xFF
        && app1[1] == 0xE1 && std::memcmp(app1.data() + 4, "Exif", 4) != 0)
        return std::nullopt;
    NoSink sink;
    return Walker(file, sink).orientationSlot(Origin::Jpeg);
}

std::optional<OrientationSlot> jpegOrientationSlot(std::span<const std::uint8_t> file)
{
    MemorySource source(file);
    return jpegOrientationSlot(source);
}

std::vector<std::uint8_t> slotBytes(const OrientationSlot &slot, int value)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(slot.width), 0);
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t shift = slot.bigEndian ? out.size() - 1 - i : i;
        out[i] = static_cast<std::uint8_t>(v >> (8 * shift));
    }
    return out;
}

std::optional<ExifError> walkExif(std::span<const std::uint8_t> file, ExifEntrySink &sink)
{
    MemorySource source(file);
    return walkExif(source, sink);
}

} // namespace morvane::exif
