// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/nameedit.h"

#include "platform/cp932.h"

#include <vector>

namespace morvane::browser {

namespace {

    constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

    // One character of a name: its bytes and its text in the caption.
    struct Unit
    {
        std::string_view bytes;
        std::string_view text;
    };

    // The length of the valid UTF-8 sequence at the start of `s`, 0 when there is none.
    std::size_t utf8Length(std::string_view s)
    {
        const auto b = [&](std::size_t i) {
            return static_cast<unsigned char>(s[i]);
        };
        const auto trail = [&](std::size_t i) {
            return i < s.size() && (b(i) & 0xC0) == 0x80;
        };
        const unsigned char c = b(0);
        if (c < 0x80)
            return 1;
        if (c >= 0xC2 && c <= 0xDF)
            return trail(1) ? 2 : 0;
        if (c >= 0xE0 && c <= 0xEF) {
            if (!trail(1) || !trail(2) || (c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) > 0x9F))
                return 0;
            return 3;
        }
        if (c >= 0xF0 && c <= 0xF4) {
            if (!trail(1) || !trail(2) || !trail(3) || (c == 0xF0 && b(1) < 0x90)
                || (c == 0xF4 && b(1) > 0x8F))
                return 0;
            return 4;
        }
        return 0;
    }

    // The name's characters, each byte that is none read as U+FFFD.
    std::vector<Unit> unitsOf(std::string_view name, bool &valid)
    {
        std::vector<Unit> units;
        valid = true;
        for (std::size_t i = 0; i < name.size();) {
            const std::size_t n = utf8Length(name.substr(i));
            if (n == 0) {
                valid = false;
                units.push_back({name.substr(i, 1), kReplacement});
                ++i;
            } else {
                units.push_back({name.substr(i, n), name.substr(i, n)});
                i += n;
            }
        }
        return units;
    }

} // namespace

NameEdit editedName(std::string_view oldName, std::string_view oldCaption, std::string_view typed)
{
    bool valid = true;
    const std::vector<Unit> units = unitsOf(oldName, valid);
    if (valid)
        return {std::string(typed), true};
    if (const auto reading = platform::cp932Reading(oldName); reading && *reading == oldCaption) {
        const platform::Cp932Strict back = platform::toCp932Strict(oldCaption);
        const platform::Cp932Strict wanted = platform::toCp932Strict(typed);
        if (back.ok && back.bytes == oldName && wanted.ok)
            return {wanted.bytes, true};
        return {std::string(typed), false};
    }
    std::string reading;
    for (const Unit &u : units)
        reading += u.text;
    if (reading != oldCaption)
        return {std::string(typed), false};
    // The unchanged characters at the start and at the end keep their bytes.
    std::size_t head = 0; // units
    std::size_t headText = 0; // bytes of `typed`
    while (head < units.size() && typed.substr(headText).starts_with(units[head].text)) {
        headText += units[head].text.size();
        ++head;
    }
    std::size_t tail = 0;
    std::size_t tailText = 0;
    while (head + tail < units.size()) {
        const std::string_view t = units[units.size() - 1 - tail].text;
        if (headText + tailText + t.size() > typed.size()
            || !typed.substr(0, typed.size() - tailText).ends_with(t))
            break;
        tailText += t.size();
        ++tail;
    }
    const std::string_view middle = typed.substr(headText, typed.size() - headText - tailText);
    // A U+FFFD in the changed part stands for bytes that are lost.
    if (middle.find(kReplacement) != std::string_view::npos)
        return {std::string(typed), false};
    NameEdit edit;
    for (std::size_t i = 0; i < head; ++i)
        edit.bytes += units[i].bytes;
    edit.bytes += middle;
    for (std::size_t i = units.size() - tail; i < units.size(); ++i)
        edit.bytes += units[i].bytes;
    return edit;
}

} // namespace morvane::browser
