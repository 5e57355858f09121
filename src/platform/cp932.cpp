// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cp932.h"

#include <array>
#include <iconv.h>
#include <unordered_map>

namespace morvane::platform {
namespace {

    // The code page's tables, read once from iconv: a character of CP932 is at most two bytes, so
    // asking iconv about every one- and two-byte sequence gives the complete mapping, and the
    // conversions below become table look-ups that cannot fail half-way.
    struct Tables
    {
        std::array<char32_t, 256> single {}; // 0 = not a character
        std::unordered_map<unsigned, char32_t> twoByte; // (lead << 8 | trail) -> code point
        std::unordered_map<char32_t, unsigned> encode; // code point -> one or two bytes
    };

    char32_t decodeWithIconv(iconv_t cd, const char *in, size_t len)
    {
        char32_t out = 0;
        char *inp =
            const_cast<char *>(in); // NOLINT(cppcoreguidelines-pro-type-const-cast): iconv API
        size_t inLeft = len;
        char *outp = reinterpret_cast<char *>(&out);
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0
            || outLeft != 0) {
            return 0;
        }
        return out;
    }

    Tables buildTables()
    {
        Tables t;
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            // Without iconv's table only ASCII is known; everything else becomes placeholders.
            for (unsigned b = 0; b < 0x80; ++b) {
                t.single[b] = b;
                t.encode.emplace(b, b);
            }
            return t;
        }
        for (unsigned b = 0; b < 256; ++b) {
            if (isCp932LeadByte(static_cast<unsigned char>(b)))
                continue;
            const char c = static_cast<char>(b);
            const char32_t cp = b == 0 ? 0 : decodeWithIconv(cd, &c, 1);
            if (cp != 0 || b == 0) {
                t.single[b] = cp;
                t.encode.emplace(cp, b);
            }
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isCp932LeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFF; ++trail) {
                if (!isCp932TrailByte(static_cast<unsigned char>(trail)))
                    continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char32_t cp = decodeWithIconv(cd, pair, 2);
                if (cp == 0)
                    continue;
                const unsigned code = lead << 8 | trail;
                t.twoByte.emplace(code, cp);
                t.encode.emplace(cp, code); // first (lowest) sequence wins for duplicates
            }
        }
        iconv_close(cd);
        return t;
    }

    const Tables &tables()
    {
        static const Tables t = buildTables();
        return t;
    }

    // Placeholder k <-> the k-th two-byte sequence of lead bytes 0xF0-0xF9.
    constexpr unsigned kPlaceholderTrails = 188; // 0x40-0x7E and 0x80-0xFC
    constexpr unsigned kMaxPlaceholders = 10 * kPlaceholderTrails;

    unsigned placeholderCode(unsigned k)
    {
        const unsigned lead = 0xF0 + k / kPlaceholderTrails;
        unsigned trail = 0x40 + k % kPlaceholderTrails;
        if (trail >= 0x7F)
            ++trail;
        return lead << 8 | trail;
    }

    int placeholderIndex(unsigned lead, unsigned trail)
    {
        if (lead < 0xF0 || lead > 0xF9 || !isCp932TrailByte(static_cast<unsigned char>(trail)))
            return -1;
        const unsigned t = trail > 0x7F ? trail - 0x41 : trail - 0x40;
        return static_cast<int>((lead - 0xF0) * kPlaceholderTrails + t);
    }

    // Decodes one UTF-8 sequence at `i`; returns 0xDC00 + byte for an invalid byte (and eats one).
    char32_t nextCodePoint(std::string_view s, size_t &i)
    {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            ++i;
            return b0;
        }
        int len = 0;
        char32_t cp = 0;
        if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            cp = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            cp = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            cp = b0 & 0x07;
        }
        if (len == 0 || i + static_cast<size_t>(len) > s.size()) {
            ++i;
            return 0xDC00 + b0;
        }
        for (int k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((b & 0xC0) != 0x80) {
                ++i;
                return 0xDC00 + b0;
            }
            cp = cp << 6 | (b & 0x3F);
        }
        static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            ++i;
            return 0xDC00 + b0;
        }
        i += static_cast<size_t>(len);
        return cp;
    }

    void appendUtf8(std::string &out, char32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    void appendCode(std::string &out, unsigned code)
    {
        if (code > 0xFF)
            out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }

    bool isUserDefined(unsigned code)
    {
        return code > 0xFF && (code >> 8) >= 0xF0 && (code >> 8) <= 0xF9;
    }

} // namespace

Cp932Text toCp932(std::string_view utf8)
{
    const Tables &t = tables();
    Cp932Text r;
    r.bytes.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        const auto it = t.encode.find(cp);
        // Characters of the user-defined area are kept through the side table too, so that a
        // placeholder read back can never be mistaken for one.
        if (it != t.encode.end() && !isUserDefined(it->second)) {
            appendCode(r.bytes, it->second);
            continue;
        }
        if (r.extras.size() >= kMaxPlaceholders) {
            r.bytes += '?';
            r.lossless = false;
            continue;
        }
        appendCode(r.bytes, placeholderCode(static_cast<unsigned>(r.extras.size())));
        r.extras.push_back(cp);
    }
    return r;
}

std::string fromCp932(std::string_view cp932, const std::vector<char32_t> &extras)
{
    const Tables &t = tables();
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    for (size_t i = 0; i < cp932.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        if (!isCp932LeadByte(b)) {
            const char32_t cp = t.single[b];
            if (cp != 0 || b == 0)
                appendUtf8(out, cp);
            else
                appendUtf8(out, 0xFFFD);
            continue;
        }
        if (i + 1 >= cp932.size()) {
            appendUtf8(out, 0xFFFD);
            break;
        }
        const auto trail = static_cast<unsigned char>(cp932[i + 1]);
        const int k = placeholderIndex(b, trail);
        if (k >= 0 && static_cast<size_t>(k) < extras.size()) {
            const char32_t e = extras[static_cast<size_t>(k)];
            if (e >= 0xDC80 && e <= 0xDCFF)
                out += static_cast<char>(e - 0xDC00);
            else
                appendUtf8(out, e);
            ++i;
            continue;
        }
        const auto it = t.twoByte.find(static_cast<unsigned>(b) << 8 | trail);
        if (it != t.twoByte.end()) {
            appendUtf8(out, it->second);
            ++i;
        } else {
            appendUtf8(out, 0xFFFD);
            // A trail byte that is itself a plain character is read again on its own.
            if (trail < 0x40)
                continue;
            ++i;
        }
    }
    return out;
}

std::optional<std::string> cp932Reading(std::string_view name)
{
    bool utf8 = true;
    for (size_t i = 0; i < name.size() && utf8;) {
        const char32_t cp = nextCodePoint(name, i);
        utf8 = cp < 0xDC00 || cp > 0xDCFF; // well-formed UTF-8 never yields a surrogate
    }
    if (utf8)
        return std::nullopt;
    const Tables &t = tables();
    std::string out;
    out.reserve(name.size() * 3 / 2);
    for (size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (!isCp932LeadByte(b)) {
            if (t.single[b] == 0 && b != 0)
                return std::nullopt;
            appendUtf8(out, t.single[b]);
            continue;
        }
        if (i + 1 >= name.size())
            return std::nullopt;
        const auto it =
            t.twoByte.find(static_cast<unsigned>(b) << 8 | static_cast<unsigned char>(name[++i]));
        if (it == t.twoByte.end())
            return std::nullopt;
        appendUtf8(out, it->second);
    }
    return out;
}

Cp932Strict toCp932Strict(std::string_view utf8)
{
    const Tables &t = tables();
    Cp932Strict r;
    r.bytes.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        const auto it = t.encode.find(cp);
        if (it != t.encode.end()) {
            appendCode(r.bytes, it->second);
        } else {
            r.bytes += '?';
            r.ok = false;
        }
    }
    return r;
}

} // namespace morvane::platform
