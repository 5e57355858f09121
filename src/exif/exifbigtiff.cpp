// SPDX-License-Identifier: GPL-3.0-or-later
// BigTIFF (8-byte counts and offsets): the first directory, its Exif and GPS directories and the
// Exif directory's interoperability directory are copied into a classic TIFF block in memory,
// which the one walk then reads as it reads any TIFF file.
#include "exif/exifcontainers.h"

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

    class BigReader
    {
    public:
        BigReader(ByteSource &file, bool bigEndian)
            : m_file(file)
            , m_bigEndian(bigEndian)
        {}
        Read bytes(std::uint64_t pos, std::uint8_t *out, std::size_t n)
        {
            if (pos > m_file.size() || n > m_file.size() - pos)
                return Read::Outside;
            return n == 0 || m_file.read(pos, std::span(out, n)) == n ? Read::Ok : Read::Failed;
        }
        [[nodiscard]] std::uint64_t number(const std::uint8_t *p, int n) const
        {
            std::uint64_t v = 0;
            for (int i = 0; i < n; ++i)
                v |= std::uint64_t {p[m_bigEndian ? n - 1 - i : i]} << (8 * i);
            return v;
        }
        [[nodiscard]] bool bigEndian() const { return m_bigEndian; }

    private:
        ByteSource &m_file;
        bool m_bigEndian;
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
    bool narrowed(const BigReader &r, Entry &e)
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
        BigReader &r, std::uint64_t pos, std::vector<Entry> &entries, std::uint64_t &budget)
    {
        std::array<std::uint8_t, 20> raw {};
        if (const Read g = r.bytes(pos, raw.data(), 8); g != Read::Ok)
            return g == Read::Failed ? Status::ReadError : Status::Absent;
        const std::uint64_t count = r.number(raw.data(), 8);
        if (count == 0 || count > kMaxEntries)
            return Status::Absent;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (const Read g = r.bytes(pos + 8 + 20 * i, raw.data(), raw.size()); g != Read::Ok)
                return g == Read::Failed ? Status::ReadError : Status::Absent;
            Entry e;
            e.tag = std::uint16_t(r.number(raw.data(), 2));
            e.type = std::uint16_t(r.number(raw.data() + 2, 2));
            e.count = r.number(raw.data() + 4, 8);
            const std::uint64_t size = typeBytes(e.type);
            if (size == 0 || e.count == 0 || e.count > kMaxValueBytes / size
                || size * e.count > budget)
                continue; // unknown type or too large: left out, as the walk would skip it
            budget -= size * e.count;
            e.value.resize(std::size_t(size * e.count));
            if (e.value.size() <= 8) {
                std::memcpy(e.value.data(), raw.data() + 12, e.value.size());
            } else if (const Read g =
                           r.bytes(r.number(raw.data() + 12, 8), e.value.data(), e.value.size());
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
        BigReader &reader;
        Writer &writer;
        std::uint64_t budget; // bytes the values of all directories may still take

        // Copies the directory at `pos` and, for each of `children` it points at, that directory
        // (one level further for the Exif directory's interoperability directory).
        Status copy(std::uint64_t pos, std::size_t &written, int depth)
        {
            std::vector<Entry> entries;
            if (const Status s = readDirectory(reader, pos, entries, budget); s != Status::Found)
                return s;
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
                const Status s = copy(reader.number(e.value.data(), 4), at, depth + 1);
                if (s == Status::ReadError)
                    return s;
                // A directory that cannot be read is pointed at outside the block, as a TIFF
                // file's pointer that leads outside it, which the walk passes over.
                writer.put(fields[i], s == Status::Found ? at : 0xFFFFFFFFu, 4);
            }
            return Status::Found;
        }
    };

} // namespace

ExifBlock findBigTiffExif(ByteSource &file)
{
    std::array<std::uint8_t, 16> h {};
    if (file.size() < h.size())
        return {};
    if (file.read(0, h) != h.size())
        return {Status::ReadError, {}, {}};
    const bool bigEndian = h[0] == 'M';
    BigReader r(file, bigEndian);
    if (r.number(h.data() + 2, 2) != 43 || r.number(h.data() + 4, 2) != 8
        || r.number(h.data() + 6, 2) != 0)
        return {};
    Writer w(bigEndian);
    w.out() = {h[0], h[1], 0, 0, 0, 0, 0, 0};
    w.put(2, 42, 2);
    w.put(4, 8, 4);
    std::size_t at = 0;
    Copier copier {r, w, kMaxDecodedBlock / 2};
    const Status s = copier.copy(r.number(h.data() + 8, 8), at, 0);
    if (s != Status::Found || w.out().size() > kMaxDecodedBlock)
        return {s == Status::ReadError ? Status::ReadError : Status::Absent, {}, {}};
    return {Status::Found, {}, std::move(w.out())};
}

} // namespace morvane::exif
