// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/settingsfile.h"

#include "platform/cp932.h"
#include "platform/hexdigit.h"

#include <cstdint>

namespace morvane::app {
namespace {

    using platform::hexDigit;

    // Spaces and control characters, the bytes a line loses at both ends. None of them can be the
    // second byte of a double-byte character (those are 0x40-0xFC without 0x7F), so trimming bytes
    // never cuts a character in half.
    bool isTrimmed(unsigned char b) noexcept
    {
        return b <= 0x20 || b == 0x7F;
    }

    std::string_view trim(std::string_view s) noexcept
    {
        std::size_t begin = 0;
        std::size_t end = s.size();
        while (begin < end && isTrimmed(static_cast<unsigned char>(s[begin])))
            ++begin;
        while (end > begin && isTrimmed(static_cast<unsigned char>(s[end - 1])))
            --end;
        return s.substr(begin, end - begin);
    }

    unsigned char foldAscii(unsigned char b) noexcept
    {
        return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
    }

    // Equality without regard to ASCII letter case, walking double-byte characters whole: the
    // second byte of a character may look like an ASCII letter (0x83 0x41 is not 0x83 0x61).
    bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto x = static_cast<unsigned char>(a[i]);
            const auto y = static_cast<unsigned char>(b[i]);
            if (platform::isCp932LeadByte(x)) {
                if (x != y)
                    return false;
                if (i + 1 < a.size()) {
                    ++i;
                    if (a[i] != b[i])
                        return false;
                }
                continue;
            }
            if (foldAscii(x) != foldAscii(y))
                return false;
        }
        return true;
    }

    bool isSectionLine(std::string_view line) noexcept
    {
        return line.size() >= 2 && line.front() == '[' && line.back() == ']';
    }

    // The key of a stored line, or nullopt for a line without "=".
    std::optional<std::string_view> keyOf(std::string_view line) noexcept
    {
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        return line.substr(0, eq);
    }

    bool hasLineBreakOrNul(std::string_view s) noexcept
    {
        return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    }

    // Hexadecimal digits up to 0xFFFFFFFF, taken as the bit pattern of a 32-bit integer (so
    // "$FFFFFFFF" is -1), the usual meaning of a 32-bit value written in hexadecimal.
    std::optional<int> parseHex(std::string_view digits) noexcept
    {
        if (digits.empty())
            return std::nullopt;
        std::uint64_t v = 0;
        for (const char c : digits) {
            const int d = hexDigit(c);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + static_cast<std::uint64_t>(d);
            if (v > 0xFFFFFFFFu)
                return std::nullopt;
        }
        return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }

    std::optional<int> parseDecimal(std::string_view text) noexcept
    {
        bool negative = false;
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            negative = text.front() == '-';
            text.remove_prefix(1);
        }
        if (text.empty())
            return std::nullopt;
        const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
        std::int64_t v = 0;
        for (const char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            v = v * 10 + (c - '0');
            if (v > limit)
                return std::nullopt;
        }
        return static_cast<int>(negative ? -v : v);
    }

} // namespace

std::optional<int> parseInteger(std::string_view text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseHex(text.substr(2));
    if (!text.empty() && text[0] == '$')
        return parseHex(text.substr(1));
    return parseDecimal(text);
}

SettingsFile SettingsFile::parse(std::string_view bytes)
{
    SettingsFile f;
    Section *current = nullptr;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // Lines end in CR LF, LF or a lone CR.
        std::size_t end = bytes.find_first_of("\r\n", pos);
        std::size_t next = 0;
        if (end == std::string_view::npos) {
            end = bytes.size();
            next = end;
        } else {
            next = end + 1;
            if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n')
                ++next;
        }
        const std::string_view line = trim(bytes.substr(pos, end - pos));
        pos = next;

        if (line.empty() || line.front() == ';')
            continue;
        if (isSectionLine(line)) {
            f.m_sections.push_back({std::string(trim(line.substr(1, line.size() - 2))), {}});
            current = &f.m_sections.back();
            continue;
        }
        if (current == nullptr)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current->lines.emplace_back(line);
            continue;
        }
        std::string stored(trim(line.substr(0, eq)));
        stored += '=';
        stored += trim(line.substr(eq + 1));
        current->lines.push_back(std::move(stored));
    }
    return f;
}

std::string SettingsFile::serialize() const
{
    std::string out;
    for (const Section &s : m_sections) {
        out += '[';
        out += s.name;
        out += "]\r\n";
        for (const std::string &line : s.lines) {
            out += line;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

const SettingsFile::Section *SettingsFile::findSection(std::string_view section) const
{
    for (const Section &s : m_sections) {
        if (equalsIgnoringCase(s.name, section))
            return &s;
    }
    return nullptr;
}

std::optional<std::string_view> SettingsFile::findValue(
    std::string_view section, std::string_view key) const
{
    const Section *s = findSection(section);
    if (s == nullptr)
        return std::nullopt;
    for (const std::string &line : s->lines) {
        const auto k = keyOf(line);
        if (k && equalsIgnoringCase(*k, key))
            return std::string_view(line).substr(k->size() + 1);
    }
    return std::nullopt;
}

int SettingsFile::readInteger(std::string_view section, std::string_view key, int def) const
{
    const auto value = findValue(section, key);
    if (!value)
        return def;
    return parseInteger(*value).value_or(def);
}

bool SettingsFile::readBool(std::string_view section, std::string_view key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

std::string SettingsFile::readString(
    std::string_view section, std::string_view key, std::string_view def) const
{
    return std::string(findValue(section, key).value_or(def));
}

bool SettingsFile::isStorableName(std::string_view name) noexcept
{
    return !hasLineBreakOrNul(name) && trim(name) == name;
}

bool SettingsFile::isStorableKey(std::string_view key) noexcept
{
    // A key holding "=" could never be found again; one opening with ";" would be read as a
    // comment and one opening with "[" could turn the line into a section line.
    return isStorableName(key) && key.find('=') == std::string_view::npos
        && (key.empty() || (key.front() != ';' && key.front() != '['));
}

bool SettingsFile::isStorableValue(std::string_view value) noexcept
{
    return !hasLineBreakOrNul(value);
}

bool SettingsFile::hasValue(std::string_view section, std::string_view key) const
{
    return findValue(section, key).has_value();
}

bool SettingsFile::tryWriteString(
    std::string_view section, std::string_view key, std::string_view value)
{
    if (!isStorableName(section) || !isStorableKey(key) || !isStorableValue(value))
        return false;
    // The value is stored as a later reading will give it back: without spaces and control
    // characters at its ends.
    std::string line(key);
    line += '=';
    line += trim(value);

    Section *s = nullptr;
    for (Section &candidate : m_sections) {
        if (equalsIgnoringCase(candidate.name, section)) {
            s = &candidate;
            break;
        }
    }
    if (s == nullptr) {
        m_sections.push_back({std::string(section), {}});
        s = &m_sections.back();
    }
    for (std::string &existing : s->lines) {
        const auto k = keyOf(existing);
        if (k && equalsIgnoringCase(*k, key)) {
            existing = std::move(line);
            return true;
        }
    }
    s->lines.push_back(std::move(line));
    return true;
}

void SettingsFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    (void)tryWriteString(section, key, std::to_string(value));
}

void SettingsFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    (void)tryWriteString(section, key, value ? "1" : "0");
}

void SettingsFile::writeString(
    std::string_view section, std::string_view key, std::string_view value)
{
    (void)tryWriteString(section, key, value);
}

std::vector<bool> applyRadioGroup(std::vector<bool> checked,
    const std::function<bool(std::size_t, bool)> &read,
    std::size_t designDefault)
{
    for (std::size_t i = 0; i < checked.size(); ++i) {
        const bool value = read ? read(i, checked[i]) : checked[i];
        if (value) {
            checked.assign(checked.size(), false);
            checked[i] = true;
        } else {
            checked[i] = false;
        }
    }
    bool any = false;
    for (const bool c : checked)
        any = any || c;
    if (!any && designDefault < checked.size())
        checked[designDefault] = true;
    return checked;
}

} // namespace morvane::app
