// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The orders the file list can be sorted in ("並べ替え" in the view menu), as pure comparisons of
// the facts the list holds about its items. Names are UTF-8; how two texts compare (the list's
// collation) is the caller's, so the order of names stays the list's own. Any thread.
namespace morvane::browser {

// What the list is sorted by. The numbers are stored in the settings file.
enum class SortKey {
    Name = 0, // the caption order of the list (the default)
    Natural = 1, // names with their digit runs compared as numbers: "9" before "10"
    Modified = 2, // last-write time
    Taken = 3, // Exif DateTimeOriginal; items without it after the others, by last-write time
    Size = 4, // bytes
    Type = 5, // extension
};
inline constexpr int kSortKeyCount = 6;

struct SortOrder
{
    SortKey key = SortKey::Name;
    bool descending = false;

    friend bool operator==(const SortOrder &, const SortOrder &) = default;
};

// The facts one item is sorted by.
struct SortFacts
{
    std::string_view name; // the caption, UTF-8
    std::int64_t modifiedNs = 0;
    std::optional<std::int64_t> taken; // seconds of the Exif date-time, see takenSeconds
    std::int64_t size = 0;
};

// How two texts compare: negative, zero or positive. The list passes its caption order.
using TextCompare = std::function<int(std::string_view, std::string_view)>;

// The key `k` from its stored number; nothing for a number that names no key.
[[nodiscard]] std::optional<SortKey> sortKeyFromNumber(std::int64_t k) noexcept;

// `a` and `b` with their runs of ASCII digits compared as numbers (leading zeros ignored, any
// length) and the text between them compared by `text`. Equal when every part compares equal
// ("01" and "1" are equal; the caller breaks that tie).
[[nodiscard]] int compareNatural(std::string_view a, std::string_view b, const TextCompare &text);

// The extension of `name`: what follows its last "." (empty for none, and for a dot-file's
// leading dot alone).
[[nodiscard]] std::string_view extensionOf(std::string_view name) noexcept;

// An Exif date-time "YYYY:MM:DD HH:MM:SS" as seconds since 0000-01-01 in the proleptic calendar
// (only its order matters); nothing for text in any other shape or with a field out of range
// (cameras write "0000:00:00 00:00:00" or blanks when the clock was not set).
[[nodiscard]] std::optional<std::int64_t> takenSeconds(std::string_view text) noexcept;

// The order of `a` and `b` under `order`: by its key, descending reversing the key's order;
// items equal by the key (and every tie of the natural order) follow by name in ascending
// order, so the order is total. For Taken, items without a date come after those with one in
// both directions, among themselves by last-write time. Names compare with `text`.
[[nodiscard]] int compareItems(
    const SortOrder &order, const SortFacts &a, const SortFacts &b, const TextCompare &text);

} // namespace morvane::browser
