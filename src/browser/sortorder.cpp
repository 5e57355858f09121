// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/sortorder.h"

#include <array>

namespace morvane::browser {

namespace {

    [[nodiscard]] bool isDigit(char c) noexcept
    {
        return c >= '0' && c <= '9';
    }

    // Length of the run at the start of `s` whose characters are all digits, or all not.
    [[nodiscard]] std::size_t runLength(std::string_view s) noexcept
    {
        const bool digits = isDigit(s.front());
        std::size_t n = 1;
        while (n < s.size() && isDigit(s[n]) == digits)
            ++n;
        return n;
    }

    // Two digit runs by value: without leading zeros the longer is larger, equal lengths compare
    // digit by digit.
    [[nodiscard]] int compareNumbers(std::string_view a, std::string_view b) noexcept
    {
        while (a.size() > 1 && a.front() == '0')
            a.remove_prefix(1);
        while (b.size() > 1 && b.front() == '0')
            b.remove_prefix(1);
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        const int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }

    template <typename T> [[nodiscard]] int threeWay(const T &a, const T &b) noexcept
    {
        return a < b ? -1 : (b < a ? 1 : 0);
    }

    // Days from 0000-03-01 to `y`-`m`-`d` (the usual shift of the year to March).
    [[nodiscard]] std::int64_t daysFromCivil(std::int64_t y, int m, int d) noexcept
    {
        y -= m <= 2 ? 1 : 0;
        const std::int64_t era = y / 400;
        const std::int64_t yoe = y - era * 400;
        const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe;
    }

    [[nodiscard]] int compareByKey(
        SortKey key, const SortFacts &a, const SortFacts &b, const TextCompare &text)
    {
        switch (key) {
        case SortKey::Name:
            return text(a.name, b.name);
        case SortKey::Natural:
            return compareNatural(a.name, b.name, text);
        case SortKey::Modified:
            return threeWay(a.modifiedNs, b.modifiedNs);
        case SortKey::Taken:
            return threeWay(*a.taken, *b.taken);
        case SortKey::Size:
            return threeWay(a.size, b.size);
        case SortKey::Type:
            return text(extensionOf(a.name), extensionOf(b.name));
        }
        return 0;
    }

} // namespace

std::optional<SortKey> sortKeyFromNumber(std::int64_t k) noexcept
{
    if (k < 0 || k >= kSortKeyCount)
        return std::nullopt;
    return static_cast<SortKey>(k);
}

int compareNatural(std::string_view a, std::string_view b, const TextCompare &text)
{
    while (!a.empty() && !b.empty()) {
        const std::size_t na = runLength(a);
        const std::size_t nb = runLength(b);
        const std::string_view ra = a.substr(0, na);
        const std::string_view rb = b.substr(0, nb);
        int c = 0;
        if (isDigit(ra.front()) && isDigit(rb.front()))
            c = compareNumbers(ra, rb);
        else
            c = text(ra, rb);
        if (c != 0)
            return c < 0 ? -1 : 1;
        a.remove_prefix(na);
        b.remove_prefix(nb);
    }
    return threeWay(!a.empty(), !b.empty());
}

std::string_view extensionOf(std::string_view name) noexcept
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::optional<std::int64_t> takenSeconds(std::string_view text) noexcept
{
    // "YYYY:MM:DD HH:MM:SS": the separators at fixed places, digits everywhere else.
    if (text.size() < 19)
        return std::nullopt;
    constexpr std::string_view shape = "dddd:dd:dd dd:dd:dd";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !isDigit(text[i]) : text[i] != shape[i])
            return std::nullopt;
    }
    auto field = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i)
            v = v * 10 + (text[i] - '0');
        return v;
    };
    const int year = field(0, 4);
    const int month = field(5, 2);
    const int day = field(8, 2);
    const int hour = field(11, 2);
    const int minute = field(14, 2);
    const int second = field(17, 2);
    static constexpr std::array<int, 12> kDays {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year == 0 || month < 1 || month > 12 || day < 1
        || day > kDays[static_cast<std::size_t>(month - 1)] || hour > 23 || minute > 59
        || second > 60)
        return std::nullopt;
    return ((daysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60 + second;
}

int compareItems(
    const SortOrder &order, const SortFacts &a, const SortFacts &b, const TextCompare &text)
{
    int c = 0;
    if (order.key == SortKey::Taken && a.taken.has_value() != b.taken.has_value()) {
        // Undated items stay last whichever way the dated ones run.
        return a.taken.has_value() ? -1 : 1;
    }
    if (order.key == SortKey::Taken && !a.taken.has_value())
        c = threeWay(a.modifiedNs, b.modifiedNs);
    else
        c = compareByKey(order.key, a, b, text);
    if (order.descending)
        c = -c;
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (order.key == SortKey::Name)
        return 0;
    const int byName = text(a.name, b.name);
    return byName < 0 ? -1 : (byName > 0 ? 1 : 0);
}

} // namespace morvane::browser
