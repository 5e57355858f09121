// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifcontainers.h"

#include "exif/decompress.h"
#include "exif/tiffcopy.h"
#include "platform/hexdigit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace morvane::exif {

namespace {

    using platform::hexDigit;

    using Status = ExifBlock::Status;

    enum class Got {
        Ok,
        Outside, // the bytes lie (partly) past the file's size: the structure ends there
        Failed, // inside the size, but the source delivered fewer: the read error
    };

    // Small positioned reads through a window, so walking a PNG's or a box file's headers costs
    // one read of the source per window, not one per header.
    class Reader
    {
    public:
        explicit Reader(ByteSource &source)
            : m_source(source)
            , m_size(source.size())
        {}

        [[nodiscard]] std::uint64_t size() const noexcept { return m_size; }

        // The `n` (at most the window's size) bytes at `pos`.
        [[nodiscard]] Got get(std::uint64_t pos, std::uint8_t *out, std::size_t n)
        {
            if (pos > m_size || n > m_size - pos || n > m_window.size())
                return Got::Outside;
            if (pos < m_start || pos - m_start + n > m_valid) {
                const auto want = static_cast<std::size_t>(
                    std::min<std::uint64_t>(m_window.size(), m_size - pos));
                m_start = pos;
                m_valid = m_source.read(pos, std::span(m_window.data(), want));
                if (m_valid < n)
                    return Got::Failed;
            }
            std::memcpy(out, m_window.data() + (pos - m_start), n);
            return Got::Ok;
        }

        // The `n` bytes at `pos`, straight from the source, into `out`.
        [[nodiscard]] Got bulk(std::uint64_t pos, std::size_t n, std::vector<std::uint8_t> &out)
        {
            if (pos > m_size || n > m_size - pos)
                return Got::Outside;
            out.resize(n);
            return n == 0 || m_source.read(pos, out) == n ? Got::Ok : Got::Failed;
        }

    private:
        ByteSource &m_source;
        std::uint64_t m_size = 0;
        std::array<std::uint8_t, 4096> m_window {};
        std::uint64_t m_start = 0;
        std::size_t m_valid = 0;
    };

    std::uint32_t be32(const std::uint8_t *p)
    {
        return std::uint32_t {p[0]} << 24 | std::uint32_t {p[1]} << 16 | std::uint32_t {p[2]} << 8
            | p[3];
    }
    std::uint32_t le32(const std::uint8_t *p)
    {
        return std::uint32_t {p[3]} << 24 | std::uint32_t {p[2]} << 16 | std::uint32_t {p[1]} << 8
            | p[0];
    }
    bool isType(const std::uint8_t *p, std::string_view type)
    {
        return std::memcmp(p, type.data(), 4) == 0;
    }

    ExifBlock readError()
    {
        return {Status::ReadError, {}, {}};
    }

    // The block of `size` bytes at `pos`, clipped to the file's end.
    ExifBlock extent(const Reader &r, std::uint64_t pos, std::uint64_t size)
    {
        if (pos >= r.size() || size == 0)
            return {};
        return {Status::Found, {{pos, std::min(size, r.size() - pos)}}, {}};
    }

    // Drops the first `n` bytes of a found block (an offset field, an "Exif\0\0" prefix); a
    // block no longer than `n` is absent.
    ExifBlock dropFront(ExifBlock block, std::uint64_t n)
    {
        if (!block.decoded.empty()) {
            if (n >= block.decoded.size())
                return {};
            block.decoded.erase(
                block.decoded.begin(), block.decoded.begin() + static_cast<std::ptrdiff_t>(n));
            return block;
        }
        auto &ex = block.extents;
        while (!ex.empty() && n >= ex.front().size) {
            n -= ex.front().size;
            ex.erase(ex.begin());
        }
        if (ex.empty())
            return {};
        ex.front().pos += n;
        ex.front().size -= n;
        return block;
    }

    // Drops an "Exif\0\0" prefix (the JPEG segment's identifier, which some writers keep).
    ExifBlock dropExifPrefix(ByteSource &file, ExifBlock block)
    {
        if (block.status != Status::Found)
            return block;
        BlockSource source(file, block);
        std::array<std::uint8_t, 6> head {};
        if (source.size() == 0)
            return {}; // a raw profile that decodes to nothing
        if (source.size() < head.size())
            return block;
        if (source.read(0, head) != head.size())
            return readError();
        return std::memcmp(head.data(), "Exif\0\0", 6) == 0 ? dropFront(std::move(block), 6)
                                                            : block;
    }

    // Drops a 4-byte big-endian offset field and the offset it gives: the form of the Exif item
    // in HEIF and of the Exif box in JPEG XL.
    ExifBlock dropOffsetField(ByteSource &file, ExifBlock block)
    {
        if (block.status != Status::Found)
            return block;
        BlockSource source(file, block);
        std::array<std::uint8_t, 4> field {};
        if (source.size() < field.size())
            return {};
        if (source.read(0, field) != field.size())
            return readError();
        const std::uint64_t skip = std::uint64_t {be32(field.data())} + 4;
        return dropExifPrefix(file, dropFront(std::move(block), skip));
    }

    // ---- PNG ----

    constexpr std::array<std::uint8_t, 8> kPngSignature = {
        0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

    // A raw profile text: "\n", a name, "\n", blanks, the decimal byte count, "\n", then the bytes
    // as hex digits with line breaks. The bytes up to the first character that is neither a hex
    // digit nor white space, and at most the stated count, are the profile.
    std::vector<std::uint8_t> decodeRawProfile(std::span<const std::uint8_t> text)
    {
        std::size_t i = 0;
        while (i < text.size() && text[i] == '\n')
            ++i;
        while (i < text.size() && text[i] != '\n')
            ++i; // the profile's name
        while (i < text.size() && (text[i] == '\n' || text[i] == ' '))
            ++i;
        std::uint64_t count = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && count <= kMaxDecodedBlock)
            count = count * 10 + (text[i++] - '0');
        std::vector<std::uint8_t> out;
        out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, text.size() / 2)));
        int high = -1;
        for (; i < text.size() && out.size() < count; ++i) {
            const int v = hexDigit(text[i]);
            if (v < 0) {
                if (text[i] == '\n' || text[i] == ' ' || text[i] == '\r' || text[i] == '\t')
                    continue;
                break;
            }
            if (high < 0) {
                high = v;
            } else {
                out.push_back(static_cast<std::uint8_t>(high << 4 | v));
                high = -1;
            }
        }
        return out;
    }

    // The text of a tEXt, zTXt or iTXt chunk (`data`, keyword included) when its keyword names
    // an Exif raw profile, decoded; nothing otherwise.
    std::optional<std::vector<std::uint8_t>> rawProfileOf(
        const std::uint8_t *type, std::span<const std::uint8_t> data)
    {
        const auto nul = std::find(data.begin(), data.end(), std::uint8_t {0});
        const std::string_view keyword(reinterpret_cast<const char *>(data.data()),
            static_cast<std::size_t>(nul - data.begin()));
        const bool exif = keyword == "Raw profile type exif";
        if ((!exif && keyword != "Raw profile type APP1") || nul == data.end())
            return std::nullopt;
        std::span<const std::uint8_t> rest = data.subspan(keyword.size() + 1);
        bool compressed = isType(type, "zTXt");
        if (isType(type, "iTXt")) {
            // flag, method, language tag and NUL, translated keyword and NUL
            if (rest.size() < 2)
                return std::nullopt;
            compressed = rest[0] != 0;
            rest = rest.subspan(2);
            for (int field = 0; field < 2; ++field) {
                const auto end = std::find(rest.begin(), rest.end(), std::uint8_t {0});
                if (end == rest.end())
                    return std::nullopt;
                rest = rest.subspan(static_cast<std::size_t>(end - rest.begin()) + 1);
            }
        } else if (compressed) {
            if (rest.empty())
                return std::nullopt;
            rest = rest.subspan(1); // compression method
        }
        std::vector<std::uint8_t> decoded;
        if (compressed) {
            const auto text = inflateBounded(rest);
            if (!text)
                return std::nullopt;
            decoded = decodeRawProfile(*text);
        } else {
            decoded = decodeRawProfile(rest);
        }
        // An APP1 profile is Exif only when it carries the Exif identifier.
        if (!exif && (decoded.size() < 6 || std::memcmp(decoded.data(), "Exif\0\0", 6) != 0))
            return std::nullopt;
        return decoded;
    }

    // ---- ISO BMFF boxes (HEIF, AVIF, JPEG XL) ----

    struct Box
    {
        std::array<std::uint8_t, 4> type {};
        std::uint64_t payload = 0; // first byte after the header
        std::uint64_t end = 0; // one past the last byte, clipped to the parent
    };

    // The box at `pos` inside a parent ending at `limit`. Outside when no whole header fits or the
    // size is smaller than the header (the list of boxes ends there).
    Got readBox(Reader &r, std::uint64_t pos, std::uint64_t limit, Box &box)
    {
        std::array<std::uint8_t, 16> h {};
        if (pos >= limit || limit - pos < 8)
            return Got::Outside;
        if (const Got g = r.get(pos, h.data(), 8); g != Got::Ok)
            return g;
        std::memcpy(box.type.data(), h.data() + 4, 4);
        std::uint64_t size = be32(h.data());
        box.payload = pos + 8;
        if (size == 1) {
            if (limit - pos < 16)
                return Got::Outside;
            if (const Got g = r.get(pos + 8, h.data() + 8, 8); g != Got::Ok)
                return g;
            size = std::uint64_t {be32(h.data() + 8)} << 32 | be32(h.data() + 12);
            box.payload = pos + 16;
        } else if (size == 0) {
            size = limit - pos; // to the end of the parent
        }
        if (size < box.payload - pos)
            return Got::Outside;
        box.end = size > limit - pos ? limit : pos + size;
        return Got::Ok;
    }

    // The first box of `type` among the boxes from `pos` to `limit`; Outside when there is none.
    Got findBox(Reader &r, std::uint64_t pos, std::uint64_t limit, std::string_view type, Box &box)
    {
        for (;;) {
            if (const Got g = readBox(r, pos, limit, box); g != Got::Ok)
                return g;
            if (isType(box.type.data(), type))
                return Got::Ok;
            pos = box.end;
        }
    }

    // An unsigned big-endian number of `width` bytes (0, 2, 4 or 8) at `pos`, which advances.
    Got number(Reader &r, std::uint64_t &pos, std::uint64_t limit, unsigned width, std::uint64_t &v)
    {
        v = 0;
        if (width == 0)
            return Got::Ok;
        std::array<std::uint8_t, 8> b {};
        if (width > 8 || pos > limit || limit - pos < width)
            return Got::Outside;
        if (const Got g = r.get(pos, b.data(), width); g != Got::Ok)
            return g;
        for (unsigned i = 0; i < width; ++i)
            v = v << 8 | b[i];
        pos += width;
        return Got::Ok;
    }

    // The item ID of the first item of type "Exif" in an iinf box.
    Got exifItemId(Reader &r, const Box &iinf, std::uint64_t &id)
    {
        std::uint64_t pos = iinf.payload;
        std::uint64_t version = 0;
        std::uint64_t skipped = 0;
        if (const Got g = number(r, pos, iinf.end, 4, version); g != Got::Ok)
            return g;
        if (const Got g = number(r, pos, iinf.end, version >> 24 == 0 ? 2 : 4, skipped);
            g != Got::Ok)
            return g;
        Box infe;
        while (findBox(r, pos, iinf.end, "infe", infe) == Got::Ok) {
            std::uint64_t p = infe.payload;
            std::uint64_t infeVersion = 0;
            std::uint64_t protection = 0;
            std::array<std::uint8_t, 4> type {};
            pos = infe.end;
            if (number(r, p, infe.end, 4, infeVersion) != Got::Ok || infeVersion >> 24 < 2)
                continue; // versions 0 and 1 carry no item type
            if (number(r, p, infe.end, infeVersion >> 24 == 2 ? 2 : 4, id) != Got::Ok
                || number(r, p, infe.end, 2, protection) != Got::Ok || infe.end - p < 4)
                continue;
            if (const Got g = r.get(p, type.data(), 4); g != Got::Ok)
                return g;
            if (isType(type.data(), "Exif"))
                return Got::Ok;
        }
        return Got::Outside;
    }

    // The extents of item `id` by the iloc box; construction method 1 places them in `idat`.
    ExifBlock itemExtents(Reader &r, const Box &iloc, const Box *idat, std::uint64_t id)
    {
        std::uint64_t pos = iloc.payload;
        std::uint64_t head = 0;
        std::uint64_t sizes = 0;
        std::uint64_t items = 0;
        if (number(r, pos, iloc.end, 4, head) != Got::Ok
            || number(r, pos, iloc.end, 2, sizes) != Got::Ok)
            return {};
        const auto version = static_cast<unsigned>(head >> 24);
        const auto offsetSize = static_cast<unsigned>(sizes >> 12 & 0xF);
        const auto lengthSize = static_cast<unsigned>(sizes >> 8 & 0xF);
        const auto baseSize = static_cast<unsigned>(sizes >> 4 & 0xF);
        const unsigned indexSize =
            version == 1 || version == 2 ? static_cast<unsigned>(sizes & 0xF) : 0;
        if (version > 2 || number(r, pos, iloc.end, version < 2 ? 2 : 4, items) != Got::Ok)
            return {};
        for (std::uint64_t i = 0; i < items; ++i) {
            std::uint64_t itemId = 0, method = 0, reference = 0, base = 0, count = 0;
            if (number(r, pos, iloc.end, version < 2 ? 2 : 4, itemId) != Got::Ok
                || number(r, pos, iloc.end, version >= 1 ? 2 : 0, method) != Got::Ok
                || number(r, pos, iloc.end, 2, reference) != Got::Ok
                || number(r, pos, iloc.end, baseSize, base) != Got::Ok
                || number(r, pos, iloc.end, 2, count) != Got::Ok)
                return {};
            ExifBlock block {Status::Found, {}, {}};
            for (std::uint64_t k = 0; k < count; ++k) {
                std::uint64_t index = 0, offset = 0, length = 0;
                if (number(r, pos, iloc.end, indexSize, index) != Got::Ok
                    || number(r, pos, iloc.end, offsetSize, offset) != Got::Ok
                    || number(r, pos, iloc.end, lengthSize, length) != Got::Ok)
                    return {};
                if (itemId != id)
                    continue;
                // File offsets, or offsets into the idat box's payload; a length of 0 runs to
                // the end of either.
                std::uint64_t start = 0;
                std::uint64_t limit = r.size();
                if ((method & 0xF) == 1) {
                    if (idat == nullptr)
                        return {};
                    start = idat->payload;
                    limit = idat->end;
                } else if ((method & 0xF) != 0) {
                    return {}; // an item built from other items
                }
                // Each term is checked against the limit (a file size) first, so the sum
                // cannot wrap.
                if (base > limit || offset > limit || block.extents.size() == kMaxExtents)
                    return {};
                const std::uint64_t at = start + base + offset;
                if (at >= limit)
                    return {};
                const std::uint64_t room = limit - at;
                block.extents.push_back({at, length == 0 ? room : std::min(length, room)});
            }
            if (itemId == id)
                return block.extents.empty() ? ExifBlock {} : block;
        }
        return {};
    }

    // ---- JPEG XL ----

    // The content of a "brob" box (after the 4-byte type of the box it holds), decompressed.
    ExifBlock brotliBox(Reader &r, const Box &box)
    {
        const std::uint64_t size = box.end - box.payload - 4;
        if (size > kMaxDecodedBlock)
            return {};
        std::vector<std::uint8_t> compressed;
        if (const Got g = r.bulk(box.payload + 4, static_cast<std::size_t>(size), compressed);
            g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        std::optional<std::vector<std::uint8_t>> content = unbrotliBounded(compressed);
        if (!content || content->empty())
            return {};
        return {Status::Found, {}, std::move(*content)};
    }

} // namespace

Container containerOf(ByteSource &file)
{
    std::array<std::uint8_t, 16> h {};
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), h.size()));
    if (file.read(0, std::span(h.data(), n)) != n)
        return Container::Other;
    const auto starts = [&](std::string_view magic, std::size_t at = 0) {
        return n >= at + magic.size()
            && std::memcmp(h.data() + at, magic.data(), magic.size()) == 0;
    };
    using namespace std::string_view_literals;
    for (const std::string_view m :
        {"II*\0"sv, "MM\0*"sv, "IIRO"sv, "IIRS"sv, "MMOR"sv, "IIU\0"sv}) {
        if (starts(m))
            return Container::Tiff;
    }
    if (starts("II+\0"sv) || starts("MM\0+"sv))
        return Container::BigTiff;
    if (starts(std::string_view(reinterpret_cast<const char *>(kPngSignature.data()), 8)))
        return Container::Png;
    if (starts("RIFF"sv) && starts("WEBP"sv, 8))
        return Container::WebP;
    if (starts("\0\0\0\x0CJXL \r\n\x87\n"sv))
        return Container::JpegXl;
    if (starts("ftypcrx "sv, 4))
        return Container::Cr3;
    if (starts("ftyp"sv, 4))
        return Container::Heif;
    if (starts("FUJIFILMCCD-RAW "sv))
        return Container::Raf;
    return Container::Other;
}

ExifBlock findPngExif(ByteSource &file)
{
    Reader r(file);
    std::uint64_t pos = kPngSignature.size();
    std::optional<std::vector<std::uint8_t>> profile;
    for (;;) {
        std::array<std::uint8_t, 8> h {};
        const Got g = r.get(pos, h.data(), h.size());
        if (g == Got::Failed)
            return readError();
        if (g == Got::Outside)
            break;
        const std::uint32_t length = be32(h.data());
        const std::uint8_t *type = h.data() + 4;
        const std::uint64_t data = pos + 8;
        if (length > 0x7FFFFFFFU || isType(type, "IEND"))
            break;
        if (isType(type, "eXIf"))
            return dropExifPrefix(file, extent(r, data, length));
        const bool text = isType(type, "tEXt") || isType(type, "zTXt") || isType(type, "iTXt");
        if (!profile && text && length <= kMaxDecodedBlock) {
            std::vector<std::uint8_t> bytes;
            const Got got = r.bulk(data, length, bytes);
            if (got == Got::Failed)
                return readError();
            if (got == Got::Ok)
                profile = rawProfileOf(type, bytes);
        }
        pos = data + length + 4; // and the CRC
    }
    if (!profile)
        return {};
    return dropExifPrefix(file, ExifBlock {Status::Found, {}, std::move(*profile)});
}

ExifBlock findWebpExif(ByteSource &file)
{
    Reader r(file);
    std::array<std::uint8_t, 8> h {};
    if (const Got g = r.get(0, h.data(), h.size()); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    const std::uint64_t end =
        std::min<std::uint64_t>(r.size(), std::uint64_t {le32(h.data() + 4)} + 8);
    std::uint64_t pos = 12;
    while (pos < end && end - pos >= 8) {
        const Got g = r.get(pos, h.data(), h.size());
        if (g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        const std::uint64_t length = le32(h.data() + 4);
        if (isType(h.data(), "EXIF"))
            return dropExifPrefix(file, extent(r, pos + 8, std::min(length, end - (pos + 8))));
        pos += 8 + length + (length & 1); // chunks are padded to an even size
    }
    return {};
}

ExifBlock findHeifExif(ByteSource &file)
{
    Reader r(file);
    Box meta;
    if (const Got g = findBox(r, 0, r.size(), "meta", meta); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    const std::uint64_t children = meta.payload + 4; // past the version and flags
    Box iinf;
    Box iloc;
    Box idat;
    std::uint64_t id = 0;
    for (const auto &[type, box] : {std::pair {"iinf", &iinf}, std::pair {"iloc", &iloc}}) {
        if (const Got g = findBox(r, children, meta.end, type, *box); g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
    }
    if (const Got g = exifItemId(r, iinf, id); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    const Got hasIdat = findBox(r, children, meta.end, "idat", idat);
    if (hasIdat == Got::Failed)
        return readError();
    return dropOffsetField(file, itemExtents(r, iloc, hasIdat == Got::Ok ? &idat : nullptr, id));
}

ExifBlock findJxlExif(ByteSource &file)
{
    Reader r(file);
    Box box;
    for (std::uint64_t pos = 0;; pos = box.end) {
        if (const Got g = readBox(r, pos, r.size(), box); g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        if (isType(box.type.data(), "Exif"))
            return dropOffsetField(file, extent(r, box.payload, box.end - box.payload));
        if (!isType(box.type.data(), "brob") || box.end - box.payload < 4)
            continue;
        // A compressed box names the type of the box it holds first.
        std::array<std::uint8_t, 4> inner {};
        if (const Got g = r.get(box.payload, inner.data(), inner.size()); g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        if (isType(inner.data(), "Exif"))
            return dropOffsetField(file, brotliBox(r, box));
    }
}

ExifBlock findCr3Exif(ByteSource &file)
{
    // clang-format off
    static constexpr std::array<std::uint8_t, 16> kCanonUuid = {
        0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0, 0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
    // clang-format on
    Reader r(file);
    Box moov;
    if (const Got g = findBox(r, 0, r.size(), "moov", moov); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    Box uuid;
    for (std::uint64_t pos = moov.payload;; pos = uuid.end) {
        if (const Got g = findBox(r, pos, moov.end, "uuid", uuid); g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        std::array<std::uint8_t, 16> id {};
        if (uuid.end - uuid.payload < id.size())
            continue;
        if (const Got g = r.get(uuid.payload, id.data(), id.size()); g != Got::Ok)
            return g == Got::Failed ? readError() : ExifBlock {};
        if (id == kCanonUuid)
            break;
    }
    Box cmt1;
    if (const Got g = findBox(r, uuid.payload + 16, uuid.end, "CMT1", cmt1); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    Box cmt2;
    const Got hasExif = findBox(r, uuid.payload + 16, uuid.end, "CMT2", cmt2);
    if (hasExif == Got::Failed)
        return readError();
    std::optional<Extent> exif;
    if (hasExif == Got::Ok)
        exif = Extent {cmt2.payload, cmt2.end - cmt2.payload};
    return joinedTiffs(file, {cmt1.payload, cmt1.end - cmt1.payload}, exif);
}

ExifBlock findRafJpeg(ByteSource &file)
{
    // The header gives the preview's offset and length (big-endian) at bytes 84 and 88.
    Reader r(file);
    std::array<std::uint8_t, 8> h {};
    if (const Got g = r.get(84, h.data(), h.size()); g != Got::Ok)
        return g == Got::Failed ? readError() : ExifBlock {};
    return extent(r, be32(h.data()), be32(h.data() + 4));
}

BlockSource::BlockSource(ByteSource &file, const ExifBlock &block) noexcept
    : m_file(file)
    , m_block(block)
{
    if (!block.decoded.empty()) {
        m_size = block.decoded.size();
        return;
    }
    for (const Extent &e : block.extents)
        m_size += e.size;
}

std::size_t BlockSource::read(std::uint64_t pos, std::span<std::uint8_t> out)
{
    if (!m_block.decoded.empty()) {
        if (pos >= m_block.decoded.size())
            return 0;
        const auto n = static_cast<std::size_t>(
            std::min<std::uint64_t>(out.size(), m_block.decoded.size() - pos));
        if (n > 0)
            std::memcpy(out.data(), m_block.decoded.data() + pos, n);
        return n;
    }
    std::size_t done = 0;
    for (const Extent &e : m_block.extents) {
        if (done == out.size())
            break;
        if (pos >= e.size) {
            pos -= e.size;
            continue;
        }
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size() - done, e.size - pos));
        const std::size_t got = m_file.read(e.pos + pos, out.subspan(done, n));
        done += got;
        if (got < n)
            break;
        pos = 0;
    }
    return done;
}

} // namespace morvane::exif
