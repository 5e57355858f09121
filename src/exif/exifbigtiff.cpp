// SPDX-License-Identifier: GPL-3.0-or-later
// TIFF directories copied into a classic TIFF block in memory, which the one walk then reads as it
// reads any TIFF file: a BigTIFF's (8-byte counts and offsets), and a CR3's two TIFF parts.
#include "exif/tiffcopy.h"

#include <array>
#include <cstring>

namespace morvane::exif {
namespace {

    using Status = ExifBlock::Status;

    constexpr std::uint16_t kExifIfdTag = 0x8769;
    constexpr std::uint16_t kGpsIfdTag = 0x8825;
    constexpr std::uint16_t kInteropIfdTag = 0xA005;
    // A directory with more entries is not a directory of a picture file; an entry's value is
    // copied only up to this size (the largest Exif values, maker notes, stay well under it).
    constexpr std::uint64_t kMaxEntries = 1024;
    constexpr std::uint64_t kMaxValueBytes = std::uint64_t {1} << 20;

    // Bytes of one value of each TIFF type (0: unknown type).
    std::uint64_t typeBytes(std::uint16_t type)
    {
        static constexpr std::array<std::uint8_t, 19> kBytes = {
            0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
        return type < kBytes.size() ? kBytes[type] : 0;
    }

    enum class Read { Ok, Outside, Failed };

    // Reads a TIFF (classic or BigTIFF) that lies at `base` in the file and spans `limit` bytes;
    // positions are the TIFF's own.
    class TiffReader
    {
    public:
        TiffReader(ByteSource &file, bool bigEndian, bool big, Extent at)
            : m_file(file)
            , m_bigEndian(bigEndian)
            , m_big(big)
            , m_at(at)
        {}
        Read bytes(std::uint64_t pos, std::uint8_t *out, std::size_t n)
        {
            if (pos > m_at.size || n > m_at.size - pos)
                return Read::Outside;
            return n == 0 || m_file.read(m_at.pos + pos, std::span(out, n)) == n ? Read::Ok
                                                                                 : Read::Failed;
        }
        [[nodiscard]] std::uint64_t number(const std::uint8_t *p, int n) const
        {
            std::uint64_t v = 0;
            for (int i = 0; i < n; ++i)
                v |= std::uint64_t {p[m_bigEndian ? n - 1 - i : i]} << (8 * i);
            return v;
        }
        [[nodiscard]] bool bigEndian() const { return m_bigEndian; }
        // The layout of a directory: the entry count's bytes, an entry's, and its value field's.
        [[nodiscard]] int countBytes() const { return m_big ? 8 : 2; }
        [[nodiscard]] int entryBytes() const { return m_big ? 20 : 12; }
        [[nodiscard]] int fieldBytes() const { return m_big ? 8 : 4; }

    private:
        ByteSource &m_file;
        bool m_bigEndian;
        bool m_big;
        Extent m_at;
    };

    // The classic TIFF block being written, in the file's byte order.
    class Writer
    {
    public:
        explicit Writer(bool bigEndian)
            : m_bigEndian(bigEndian)
        {}
        std::vector<std::uint8_t> &out() { return m_out; }
        void put(std::size_t at, std::uint64_t v, int n)
        {
            for (int i = 0; i < n; ++i)
                m_out[at + std::size_t(m_bigEndian ? n - 1 - i : i)] = std::uint8_t(v >> (8 * i));
        }
        std::size_t append(std::uint64_t v, int n)
        {
            const std::size_t at = m_out.size();
            m_out.resize(at + std::size_t(n));
            put(at, v, n);
            return at;
        }

    private:
        bool m_bigEndian;
        std::vector<std::uint8_t> m_out;
    };

    struct Entry
    {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint64_t count = 0;
        std::vector<std::uint8_t> value; // in the classic type's layout
    };

    // An 8-byte integer type's values as 4-byte ones (IFD8 and LONG8 as LONG, SLONG8 as
    // SLONG); false when one does not fit.
    bool narrowed(const TiffReader &r, Entry &e)
    {
        std::vector<std::uint8_t> out;
        for (std::uint64_t i = 0; i < e.count; ++i) {
            const std::uint64_t v = r.number(e.value.data() + 8 * i, 8);
            const bool fits = e.type == 17
                ? (v >> 31 == 0 || v >> 31 == (std::uint64_t {1} << 33) - 1)
                : v >> 32 == 0;
            if (!fits)
                return false;
            for (int k = 0; k < 4; ++k)
                out.push_back(std::uint8_t(v >> (8 * (r.bigEndian() ? 3 - k : k))));
        }
        e.type = e.type == 17 ? 9 : 4;
        e.value = std::move(out);
        return true;
    }

    // Reads the directory at `pos`: its entries whose values can be had in the classic layout.
    // The values read take from `budget` (bytes); an entry whose value exceeds what is left is
    // left out, so many entries pointing at the same large value cannot take unbounded memory.
    Status readDirectory(
        TiffReader &r, std::uint64_t pos, std::vector<Entry> &entries, std::uint64_t &budget)
    {
        const int countBytes = r.countBytes();
        const int entryBytes = r.entryBytes();
        const int fieldBytes = r.fieldBytes();
        std::array<std::uint8_t, 20> raw {};
        if (const Read g = r.bytes(pos, raw.data(), std::size_t(countBytes)); g != Read::Ok)
            return g == Read::Failed ? Status::ReadError : Status::Absent;
        const std::uint64_t count = r.number(raw.data(), countBytes);
        if (count == 0 || count > kMaxEntries)
            return Status::Absent;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t at =
                pos + std::uint64_t(countBytes) + std::uint64_t(entryBytes) * i;
            if (const Read g = r.bytes(at, raw.data(), std::size_t(entryBytes)); g != Read::Ok)
                return g == Read::Failed ? Status::ReadError : Status::Absent;
            Entry e;
            e.tag = std::uint16_t(r.number(raw.data(), 2));
            e.type = std::uint16_t(r.number(raw.data() + 2, 2));
            e.count = r.number(raw.data() + 4, fieldBytes);
            const std::uint8_t *field = raw.data() + 4 + fieldBytes;
            const std::uint64_t size = typeBytes(e.type);
            if (size == 0 || e.count == 0 || e.count > kMaxValueBytes / size
                || size * e.count > budget)
                continue; // unknown type or too large: left out, as the walk would skip it
            budget -= size * e.count;
            e.value.resize(std::size_t(size * e.count));
            if (e.value.size() <= std::size_t(fieldBytes)) {
                std::memcpy(e.value.data(), field, e.value.size());
            } else if (const Read g =
                           r.bytes(r.number(field, fieldBytes), e.value.data(), e.value.size());
                       g != Read::Ok) {
                if (g == Read::Failed)
                    return Status::ReadError;
                continue; // a value outside the file is left out
            }
            if (e.type >= 16 && !narrowed(r, e))
                continue;
            entries.push_back(std::move(e));
        }
        return Status::Found;
    }

    // Writes `entries` as a classic directory; returns its offset and where each entry's value
    // field lies.
    std::size_t writeDirectory(
        Writer &w, const std::vector<Entry> &entries, std::vector<std::size_t> &valueFields)
    {
        std::vector<std::uint8_t> &out = w.out();
        if (out.size() % 2 != 0)
            out.push_back(0);
        const std::size_t at = w.append(entries.size(), 2);
        valueFields.clear();
        for (const Entry &e : entries) {
            w.append(e.tag, 2);
            w.append(e.type, 2);
            w.append(e.count, 4);
            valueFields.push_back(w.append(0, 4));
        }
        w.append(0, 4); // no next directory
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::vector<std::uint8_t> &v = entries[i].value;
            if (v.size() <= 4) {
                std::memcpy(out.data() + valueFields[i], v.data(), v.size());
                continue;
            }
            if (out.size() % 2 != 0)
                out.push_back(0);
            w.put(valueFields[i], out.size(), 4);
            out.insert(out.end(), v.begin(), v.end());
        }
        return at;
    }

    struct Copier
    {
        Writer &writer;
        std::uint64_t budget; // bytes the values of all directories may still take
        // Where the Exif directory comes from instead of the first directory's pointer: the first
        // directory of another TIFF (a CR3 keeps it apart).
        TiffReader *exifTiff = nullptr;
        std::uint64_t exifAt = 0;

        // Copies the directory at `pos` of `r` and the directories it points at: the Exif and
        // GPS directories from the first, the interoperability directory from the Exif one.
        Status copy(TiffReader &r, std::uint64_t pos, std::size_t &written, int depth)
        {
            std::vector<Entry> entries;
            if (const Status s = readDirectory(r, pos, entries, budget); s != Status::Found)
                return s;
            if (depth == 0 && exifTiff != nullptr)
                pointAtExif(entries);
            std::vector<std::size_t> fields;
            written = writeDirectory(writer, entries, fields);
            if (writer.out().size() > kMaxDecodedBlock)
                return Status::Absent;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const Entry &e = entries[i];
                const bool child = depth == 0 ? e.tag == kExifIfdTag || e.tag == kGpsIfdTag
                                              : depth == 1 && e.tag == kInteropIfdTag;
                if (!child || e.value.size() != 4)
                    continue;
                std::size_t at = 0;
                const bool apart = depth == 0 && e.tag == kExifIfdTag && exifTiff != nullptr;
                const Status s = apart ? copy(*exifTiff, exifAt, at, 1)
                                       : copy(r, r.number(e.value.data(), 4), at, depth + 1);
                if (s == Status::ReadError)
                    return s;
                // A directory that cannot be read is pointed at outside the block, as a TIFF
                // file's pointer that leads outside it, which the walk passes over.
                writer.put(fields[i], s == Status::Found ? at : 0xFFFFFFFFu, 4);
            }
            return Status::Found;
        }

        // An Exif pointer among `entries` (sorted by tag), added when missing.
        static void pointAtExif(std::vector<Entry> &entries)
        {
            auto it = entries.begin();
            while (it != entries.end() && it->tag < kExifIfdTag)
                ++it;
            if (it != entries.end() && it->tag == kExifIfdTag) {
                it->type = 4;
                it->count = 1;
                it->value.assign(4, 0);
                return;
            }
            entries.insert(it, Entry {kExifIfdTag, 4, 1, std::vector<std::uint8_t>(4, 0)});
        }
    };

    // A classic TIFF header in `w`'s byte order.
    void putHeader(Writer &w, bool bigEndian)
    {
        const std::uint8_t order = bigEndian ? 'M' : 'I';
        w.out() = {order, order, 0, 0, 0, 0, 0, 0};
        w.put(2, 42, 2);
        w.put(4, 8, 4);
    }

    ExifBlock finished(Status s, Writer &w)
    {
        if (s != Status::Found || w.out().size() > kMaxDecodedBlock)
            return {s == Status::ReadError ? Status::ReadError : Status::Absent, {}, {}};
        return {Status::Found, {}, std::move(w.out())};
    }

} // namespace

ExifBlock findBigTiffExif(ByteSource &file)
{
    std::array<std::uint8_t, 16> h {};
    if (file.size() < h.size())
        return {};
    if (file.read(0, h) != h.size())
        return {Status::ReadError, {}, {}};
    const bool bigEndian = h[0] == 'M';
    TiffReader r(file, bigEndian, true, {0, file.size()});
    if (r.number(h.data() + 2, 2) != 43 || r.number(h.data() + 4, 2) != 8
        || r.number(h.data() + 6, 2) != 0)
        return {};
    Writer w(bigEndian);
    putHeader(w, bigEndian);
    std::size_t at = 0;
    Copier copier {w, kMaxDecodedBlock / 2};
    return finished(copier.copy(r, r.number(h.data() + 8, 8), at, 0), w);
}

ExifBlock joinedTiffs(ByteSource &file, Extent main, std::optional<Extent> exif)
{
    // Each part is a classic TIFF: its byte order, 42, the offset of its first directory.
    struct Part
    {
        bool bigEndian = false;
        std::uint64_t first = 0;
    };
    const auto header = [&](Extent e, Part &part) {
        std::array<std::uint8_t, 8> h {};
        if (e.size < h.size() || file.read(e.pos, h) != h.size() || h[0] != h[1]
            || (h[0] != 'I' && h[0] != 'M'))
            return false;
        part.bigEndian = h[0] == 'M';
        const TiffReader r(file, part.bigEndian, false, e);
        part.first = r.number(h.data() + 4, 4);
        return r.number(h.data() + 2, 2) == 42;
    };
    Part mainPart;
    if (!header(main, mainPart))
        return {};
    TiffReader r(file, mainPart.bigEndian, false, main);
    Writer w(mainPart.bigEndian);
    putHeader(w, mainPart.bigEndian);
    Copier copier {w, kMaxDecodedBlock / 2};
    Part exifPart;
    // Values are copied as they lie: an Exif part in the other byte order is not joined.
    std::optional<TiffReader> exifReader;
    if (exif && header(*exif, exifPart) && exifPart.bigEndian == mainPart.bigEndian) {
        exifReader.emplace(file, exifPart.bigEndian, false, *exif);
        copier.exifTiff = &*exifReader;
        copier.exifAt = exifPart.first;
    }
    std::size_t at = 0;
    return finished(copier.copy(r, mainPart.first, at, 0), w);
}

} // namespace morvane::exif
