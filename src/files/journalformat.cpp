// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/journalformat.h"

#include "platform/hexdigit.h"

#include <charconv>

namespace morvane::files::journal {

namespace {

    using platform::hexDigit;

    constexpr std::string_view kMagic = "MJ1";

    std::uint64_t checksum(std::string_view text)
    {
        std::uint64_t h = 14695981039346656037ULL; // FNV-1a
        for (const char c : text) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ULL;
        }
        return h;
    }

    std::string hex(std::uint64_t v)
    {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out(16, '0');
        for (int i = 15; i >= 0; --i, v >>= 4)
            out[static_cast<std::size_t>(i)] = kDigits[v & 15];
        return out;
    }

    // "=" then the bytes, those that would break the line or the fields escaped as %HH.
    void putText(std::string &out, std::string_view s)
    {
        out += " =";
        for (const char c : s) {
            const auto b = static_cast<unsigned char>(c);
            if (b <= 0x20 || b == '%' || b == 0x7F) {
                out += '%';
                out += hex(b).substr(14);
            } else {
                out += c;
            }
        }
    }

    template <typename T> void putNumber(std::string &out, T v)
    {
        out += ' ';
        out += std::to_string(v);
    }

    // Reads the fields of a line one at a time; any fault leaves it failed.
    class Fields
    {
    public:
        explicit Fields(std::string_view line)
            : m_rest(line)
        {}

        std::string_view next()
        {
            const std::size_t blank = m_rest.find(' ');
            const std::string_view field = m_rest.substr(0, blank);
            m_rest =
                blank == std::string_view::npos ? std::string_view() : m_rest.substr(blank + 1);
            if (field.empty())
                m_failed = true;
            return field;
        }

        std::string text()
        {
            const std::string_view field = next();
            if (field.empty() || field.front() != '=') {
                m_failed = true;
                return {};
            }
            std::string out;
            for (std::size_t i = 1; i < field.size(); ++i) {
                if (field[i] != '%') {
                    out += field[i];
                    continue;
                }
                const int hi = i + 2 < field.size() ? hexDigit(field[i + 1]) : -1;
                const int lo = hi >= 0 ? hexDigit(field[i + 2]) : -1;
                if (lo < 0) {
                    m_failed = true;
                    return {};
                }
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
            }
            return out;
        }

        template <typename T> T number()
        {
            const std::string_view field = next();
            T v {};
            const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
            if (error != std::errc() || end != field.data() + field.size())
                m_failed = true;
            return v;
        }

        [[nodiscard]] bool ok() const { return !m_failed; }
        [[nodiscard]] bool atEnd() const { return m_rest.empty(); }

    private:
        std::string_view m_rest;
        bool m_failed = false;
    };

} // namespace

std::string encodeEntry(const Entry &entry)
{
    std::string body(kMagic);
    putNumber(body, entry.time);
    putText(body, entry.action);
    putNumber(body, entry.items.size());
    for (const Item &item : entry.items) {
        body += ' ';
        body += static_cast<char>(item.op);
        putText(body, item.from);
        putText(body, item.to);
        putText(body, item.via);
        putNumber(body, item.stamp.size);
        putNumber(body, item.stamp.mtimeNs);
        putNumber(body, item.stamp.inode);
    }
    return body + ' ' + hex(checksum(body)) + '\n';
}

std::optional<Entry> decodeEntry(std::string_view line)
{
    const std::size_t cut = line.rfind(' ');
    if (cut == std::string_view::npos || line.substr(cut + 1) != hex(checksum(line.substr(0, cut))))
        return std::nullopt;
    Fields f(line.substr(0, cut));
    if (f.next() != kMagic)
        return std::nullopt;
    Entry entry;
    entry.time = f.number<std::int64_t>();
    entry.action = f.text();
    const auto count = f.number<std::size_t>();
    for (std::size_t i = 0; i < count && f.ok(); ++i) {
        Item item;
        const std::string_view op = f.next();
        if (op != "M" && op != "C" && op != "T" && op != "D" && op != "P")
            return std::nullopt;
        item.op = static_cast<Op>(op.front());
        item.from = f.text();
        item.to = f.text();
        item.via = f.text();
        item.stamp.size = f.number<std::int64_t>();
        item.stamp.mtimeNs = f.number<std::int64_t>();
        item.stamp.inode = f.number<std::uint64_t>();
        entry.items.push_back(std::move(item));
    }
    if (!f.ok() || !f.atEnd())
        return std::nullopt;
    return entry;
}

std::string encodePatch(const Patch &patch)
{
    std::string out = std::to_string(patch.pos);
    for (const std::string *side : {&patch.before, &patch.after}) {
        out += ' ';
        for (const char c : *side)
            out += hex(static_cast<unsigned char>(c)).substr(14);
    }
    return out;
}

namespace {

    // The position and two hex sides of one patch from `f`; nothing when damaged.
    std::optional<Patch> readPatch(Fields &f)
    {
        Patch patch;
        patch.pos = f.number<std::uint64_t>();
        for (std::string *side : {&patch.before, &patch.after}) {
            const std::string_view digits = f.next();
            if (digits.size() % 2 != 0)
                return std::nullopt;
            for (std::size_t i = 0; i < digits.size(); i += 2) {
                const int hi = hexDigit(digits[i]);
                const int lo = hexDigit(digits[i + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                *side += static_cast<char>(hi * 16 + lo);
            }
        }
        if (!f.ok())
            return std::nullopt;
        return patch;
    }

} // namespace

std::optional<Patch> decodePatch(std::string_view text)
{
    Fields f(text);
    std::optional<Patch> patch = readPatch(f);
    if (!patch || !f.atEnd() || patch->before.size() != patch->after.size())
        return std::nullopt;
    return patch;
}

std::string encodePatches(const std::vector<Patch> &patches)
{
    std::string out;
    for (const Patch &p : patches)
        out += (out.empty() ? "" : " ") + encodePatch(p);
    return out;
}

std::optional<std::vector<Patch>> decodePatches(std::string_view text)
{
    Fields f(text);
    std::vector<Patch> out;
    do {
        std::optional<Patch> patch = readPatch(f);
        if (!patch || (!out.empty() && patch->pos < out.back().pos + out.back().before.size()))
            return std::nullopt;
        out.push_back(std::move(*patch));
    } while (!f.atEnd());
    return out;
}

std::vector<Patch> reversedPatches(const std::vector<Patch> &patches)
{
    std::vector<Patch> out;
    std::int64_t growth = 0;
    for (const Patch &p : patches) {
        out.push_back({p.pos + static_cast<std::uint64_t>(growth), p.after, p.before});
        growth +=
            static_cast<std::int64_t>(p.after.size()) - static_cast<std::int64_t>(p.before.size());
    }
    return out;
}

bool startsAsEntry(std::string_view text)
{
    return text.substr(0, kMagic.size() + 1) == std::string(kMagic) + ' ';
}

bool isJournalText(std::string_view text)
{
    if (text.empty())
        return true;
    if (!startsAsEntry(text))
        return false;
    return !parseJournal(text).entries.empty();
}

Parsed parseJournal(std::string_view text)
{
    Parsed parsed;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            ++parsed.damaged; // torn: the writer stopped in the middle of it
            break;
        }
        if (auto entry = decodeEntry(text.substr(start, end - start)))
            parsed.entries.push_back(std::move(*entry));
        else
            ++parsed.damaged;
        start = end + 1;
        parsed.goodEnd = start;
    }
    return parsed;
}

} // namespace morvane::files::journal
