// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbcacheformat.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace morvane::browser {
namespace {

    constexpr char kMagic[4] = {'M', 'V', 'T', 'C'};
    constexpr std::uint32_t kVersion = 1;
    constexpr std::string_view kExtension = ".mvt";
    constexpr std::size_t kHashDigits = 16;
    // Longer paths than the system takes are no key any entry was written for.
    constexpr std::size_t kMaxPath = 1 << 16;

    constexpr std::uint64_t kFnvBasis = 14695981039346656037ULL;
    constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

    std::uint64_t fnv(std::uint64_t h, const unsigned char *data, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            h ^= data[i];
            h *= kFnvPrime;
        }
        return h;
    }

    // Little-endian fields, whatever the machine.
    void put(std::string &out, std::uint64_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFU));
    }

    class Reader
    {
    public:
        explicit Reader(std::string_view bytes)
            : m_bytes(bytes)
        {}
        // False once a read ran past the end; every later read gives 0.
        [[nodiscard]] bool ok() const { return m_ok; }
        [[nodiscard]] std::size_t offset() const { return m_at; }

        std::uint64_t get(int bytes)
        {
            const auto n = static_cast<std::size_t>(bytes);
            if (!m_ok || m_bytes.size() - m_at < n) {
                m_ok = false;
                return 0;
            }
            std::uint64_t v = 0;
            for (std::size_t i = 0; i < n; ++i)
                v |= std::uint64_t(static_cast<unsigned char>(m_bytes[m_at + i])) << (8 * i);
            m_at += n;
            return v;
        }
        std::int32_t get32s()
        {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(get(4)));
        }
        std::int64_t get64s() { return static_cast<std::int64_t>(get(8)); }
        std::string_view take(std::size_t n)
        {
            if (!m_ok || m_bytes.size() - m_at < n) {
                m_ok = false;
                return {};
            }
            const std::string_view v = m_bytes.substr(m_at, n);
            m_at += n;
            return v;
        }

    private:
        std::string_view m_bytes;
        std::size_t m_at = 0;
        bool m_ok = true;
    };

    const unsigned char *bytesOf(std::string_view s)
    {
        return reinterpret_cast<const unsigned char *>(s.data());
    }

} // namespace

namespace {

    // The scale field of an entry: the JPEG scale, with bit 4 set for an upright picture. An
    // entry written before pictures were turned holds the scale alone, which is what the
    // pictures are without turning: it stays valid for that setting.
    std::uint32_t scaleField(const ThumbKey &key)
    {
        return static_cast<std::uint32_t>(key.jpegScale) | (key.upright ? 0x10U : 0U);
    }

} // namespace

std::string thumbEntryName(const ThumbKey &key)
{
    std::uint64_t h = fnv(kFnvBasis, bytesOf(key.nativePath), key.nativePath.size());
    const auto box = static_cast<std::uint32_t>(key.boxSize);
    const std::uint32_t scale = scaleField(key);
    const unsigned char tail[] = {0,
        static_cast<unsigned char>(box & 0xFFU),
        static_cast<unsigned char>((box >> 8) & 0xFFU),
        static_cast<unsigned char>(scale & 0xFFU)};
    h = fnv(h, tail, sizeof tail);
    std::string name(kHashDigits, '0');
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < kHashDigits; ++i)
        name[kHashDigits - 1 - i] = kHex[(h >> (4 * i)) & 0xFU];
    return name + std::string(kExtension);
}

bool isThumbEntryName(std::string_view name)
{
    if (name.size() != kHashDigits + kExtension.size() || !name.ends_with(kExtension))
        return false;
    return std::all_of(name.begin(), name.begin() + kHashDigits, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

bool isThumbEntryHead(std::string_view head)
{
    const std::string_view magic(kMagic, sizeof kMagic);
    head = head.substr(0, magic.size());
    return head == magic.substr(0, head.size())
        || std::all_of(head.begin(), head.end(), [](char c) {
               return c == '\0';
           });
}

bool isThumbTempName(std::string_view name)
{
    constexpr std::string_view kPrefix = ".tmp-";
    return name.size() == kPrefix.size() + 6 && name.starts_with(kPrefix)
        && std::all_of(name.begin() + kPrefix.size(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

std::uint64_t thumbChecksum(const unsigned char *data, std::size_t size)
{
    return fnv(kFnvBasis, data, size);
}

std::string encodeThumbEntry(
    const ThumbKey &key, const FileStamp &stamp, const ThumbFacts &facts, std::string_view payload)
{
    std::string out;
    out.reserve(128 + key.nativePath.size() + payload.size());
    out.append(kMagic, sizeof kMagic);
    put(out, kVersion, 4);
    put(out, static_cast<std::uint32_t>(key.boxSize), 4);
    put(out, scaleField(key), 4);
    put(out, key.nativePath.size(), 4);
    out += key.nativePath;
    put(out, static_cast<std::uint64_t>(stamp.size), 8);
    put(out, static_cast<std::uint64_t>(stamp.mtimeNs), 8);
    put(out, static_cast<std::uint64_t>(stamp.ctimeNs), 8);
    put(out, stamp.inode, 8);
    for (const std::int32_t v : {facts.fullWidth,
             facts.fullHeight,
             facts.drawnWidth,
             facts.drawnHeight,
             facts.pixelWidth,
             facts.pixelHeight})
        put(out, static_cast<std::uint32_t>(v), 4);
    put(out, payload.size(), 8);
    put(out, thumbChecksum(bytesOf(payload), payload.size()), 8);
    put(out, thumbChecksum(bytesOf(out), out.size()), 8);
    out += payload;
    return out;
}

ParsedThumbEntry parseThumbEntry(
    std::string_view bytes, const ThumbKey &key, const FileStamp &stamp)
{
    ParsedThumbEntry parsed;
    Reader r(bytes);
    if (r.take(sizeof kMagic) != std::string_view(kMagic, sizeof kMagic) || r.get(4) != kVersion)
        return parsed;
    const auto box = static_cast<std::int64_t>(r.get(4));
    const auto scale = static_cast<std::int64_t>(r.get(4));
    const std::uint64_t pathSize = r.get(4);
    if (!r.ok() || pathSize > kMaxPath)
        return parsed;
    const std::string_view path = r.take(static_cast<std::size_t>(pathSize));
    FileStamp written;
    written.size = r.get64s();
    written.mtimeNs = r.get64s();
    written.ctimeNs = r.get64s();
    written.inode = r.get(8);
    ThumbFacts &f = parsed.facts;
    f.fullWidth = r.get32s();
    f.fullHeight = r.get32s();
    f.drawnWidth = r.get32s();
    f.drawnHeight = r.get32s();
    f.pixelWidth = r.get32s();
    f.pixelHeight = r.get32s();
    const std::uint64_t payloadSize = r.get(8);
    const std::uint64_t payloadSum = r.get(8);
    const std::size_t headerEnd = r.offset();
    const std::uint64_t headerSum = r.get(8);
    if (!r.ok() || headerSum != thumbChecksum(bytesOf(bytes), headerEnd)
        || payloadSize != bytes.size() - r.offset())
        return parsed;
    parsed.payloadOffset = r.offset();
    parsed.payloadSize = static_cast<std::size_t>(payloadSize);
    if (payloadSum != thumbChecksum(bytesOf(bytes) + parsed.payloadOffset, parsed.payloadSize))
        return parsed;
    const auto within = [](std::int64_t v, std::int64_t low, std::int64_t high) {
        return v >= low && v <= high;
    };
    if (!within(box, 1, 1 << 16) || !within(f.drawnWidth, 0, box) || !within(f.drawnHeight, 0, box)
        || !within(f.pixelWidth, 1, box) || !within(f.pixelHeight, 1, box) || f.fullWidth <= 0
        || f.fullHeight <= 0)
        return parsed;
    if (path != key.nativePath || box != key.boxSize || scale != std::int64_t(scaleField(key))) {
        parsed.state = ThumbEntryState::OtherKey;
        return parsed;
    }
    parsed.state = written == stamp ? ThumbEntryState::Valid : ThumbEntryState::Stale;
    return parsed;
}

std::vector<std::size_t> pickEvictions(const std::vector<CacheFile> &files, std::int64_t limitBytes)
{
    std::int64_t total = 0;
    for (const CacheFile &f : files)
        total += std::max<std::int64_t>(f.bytes, 0);
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::sort(order.begin(), order.end(), [&files](std::size_t a, std::size_t b) {
        if (files[a].lastUseNs != files[b].lastUseNs)
            return files[a].lastUseNs < files[b].lastUseNs;
        return files[a].name < files[b].name;
    });
    const std::int64_t limit = std::max<std::int64_t>(limitBytes, 0);
    std::vector<std::size_t> removed;
    for (const std::size_t i : order) {
        if (total <= limit)
            break;
        total -= std::max<std::int64_t>(files[i].bytes, 0);
        removed.push_back(i);
    }
    return removed;
}

std::int64_t cacheLimitBytes(std::string_view text, std::int64_t fallbackMiB)
{
    constexpr std::int64_t kMaxMiB = std::int64_t(1) << 20;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::int64_t mib = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mib);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || mib < 0)
        mib = fallbackMiB;
    return std::clamp<std::int64_t>(mib, 0, kMaxMiB) << 20;
}

std::string toDeltaRgb(const std::uint32_t *pixels, int width, int height, std::size_t stride)
{
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    const auto h = static_cast<std::size_t>(std::max(height, 0));
    std::string out(w * h * 3, '\0');
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint32_t *row = pixels + y * stride;
        std::uint32_t left = 0;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t p = row[x];
            for (int c = 0; c < 3; ++c) {
                const int shift = 16 - 8 * c;
                *o++ = static_cast<unsigned char>(((p >> shift) - (left >> shift)) & 0xFFU);
            }
            left = p;
        }
    }
    return out;
}

bool fromDeltaRgb(
    std::string_view delta, int width, int height, std::uint32_t *pixels, std::size_t stride)
{
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    const auto h = static_cast<std::size_t>(std::max(height, 0));
    if (delta.size() != w * h * 3)
        return false;
    const unsigned char *in = bytesOf(delta);
    for (std::size_t y = 0; y < h; ++y) {
        std::uint32_t *row = pixels + y * stride;
        std::uint32_t r = 0;
        std::uint32_t g = 0;
        std::uint32_t b = 0;
        for (std::size_t x = 0; x < w; ++x) {
            r = (r + *in++) & 0xFFU;
            g = (g + *in++) & 0xFFU;
            b = (b + *in++) & 0xFFU;
            row[x] = 0xFF000000U | (r << 16) | (g << 8) | b;
        }
    }
    return true;
}

} // namespace morvane::browser
