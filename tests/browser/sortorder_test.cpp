// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/sortorder.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace morvane::browser;

namespace {

// Case-insensitive ASCII order, the ties by bytes: a stand-in for the list's collation.
int asciiCompare(std::string_view a, std::string_view b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

struct Item
{
    std::string name;
    std::int64_t modified;
    std::optional<std::int64_t> taken;
    std::int64_t size;
};

// Eight files made for the orders: numbers for the natural order, equal sizes and times for the
// ties, two without a date taken.
const std::vector<Item> kItems = {
    {"img100.jpg", 50, 3000, 10},
    {"img9.jpg", 40, std::nullopt, 20},
    {"img10.png", 30, 1000, 10},
    {"img2.jpg", 30, 2000, 30},
    {"IMG1.gif", 10, std::nullopt, 40},
    {"a.txt", 60, std::nullopt, 20},
    {"img010.jpg", 20, 1000, 5},
    {"notes", 5, 4000, 5},
};

std::vector<std::string> sorted(SortOrder order)
{
    std::vector<Item> items = kItems;
    std::stable_sort(items.begin(), items.end(), [&](const Item &a, const Item &b) {
        return compareItems(order,
                   {a.name, a.modified, a.taken, a.size},
                   {b.name, b.modified, b.taken, b.size},
                   asciiCompare)
            < 0;
    });
    std::vector<std::string> names;
    for (const Item &i : items)
        names.push_back(i.name);
    return names;
}

TEST(SortOrderTest, OrdersWorkedOutByHand)
{
    struct Case
    {
        SortOrder order;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {{SortKey::Name, false},
            {"a.txt",
                "img010.jpg",
                "IMG1.gif",
                "img10.png",
                "img100.jpg",
                "img2.jpg",
                "img9.jpg",
                "notes"}},
        {{SortKey::Name, true},
            {"notes",
                "img9.jpg",
                "img2.jpg",
                "img100.jpg",
                "img10.png",
                "IMG1.gif",
                "img010.jpg",
                "a.txt"}},
        // 1, 2, 9, 10, 100; "img010" and "img10" are equal as numbers, ".jpg" comes first.
        {{SortKey::Natural, false},
            {"a.txt",
                "IMG1.gif",
                "img2.jpg",
                "img9.jpg",
                "img010.jpg",
                "img10.png",
                "img100.jpg",
                "notes"}},
        {{SortKey::Natural, true},
            {"notes",
                "img100.jpg",
                "img10.png",
                "img010.jpg",
                "img9.jpg",
                "img2.jpg",
                "IMG1.gif",
                "a.txt"}},
        // Equal times by name.
        {{SortKey::Modified, false},
            {"notes",
                "IMG1.gif",
                "img010.jpg",
                "img10.png",
                "img2.jpg",
                "img9.jpg",
                "img100.jpg",
                "a.txt"}},
        // Dated first (equal dates by name), the undated after them by modification time.
        {{SortKey::Taken, false},
            {"img010.jpg",
                "img10.png",
                "img2.jpg",
                "img100.jpg",
                "notes",
                "IMG1.gif",
                "img9.jpg",
                "a.txt"}},
        {{SortKey::Taken, true},
            {"notes",
                "img100.jpg",
                "img2.jpg",
                "img010.jpg",
                "img10.png",
                "a.txt",
                "img9.jpg",
                "IMG1.gif"}},
        {{SortKey::Size, true},
            {"IMG1.gif",
                "img2.jpg",
                "a.txt",
                "img9.jpg",
                "img10.png",
                "img100.jpg",
                "img010.jpg",
                "notes"}},
        // No extension first, then gif, jpg (by name), png, txt.
        {{SortKey::Type, false},
            {"notes",
                "IMG1.gif",
                "img010.jpg",
                "img100.jpg",
                "img2.jpg",
                "img9.jpg",
                "img10.png",
                "a.txt"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.order.key) * 2 + (c.order.descending ? 1 : 0));
        EXPECT_EQ(sorted(c.order), c.names);
    }
}

TEST(SortOrderTest, NaturalCompare)
{
    struct Case
    {
        const char *a;
        const char *b;
        int expected;
    };
    const Case cases[] = {
        {"9", "10", -1},
        {"a99999999999999999999", "a100000000000000000000", -1},
        {"007", "7", 0},
        {"x1y2", "x1y10", -1},
        {"x", "x1", -1},
        {"B1", "a2", 1},
        {"", "", 0},
        {"1a", "a", -1}, // digits before letters, as the collation puts them
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(compareNatural(c.a, c.b, asciiCompare), c.expected);
        EXPECT_EQ(compareNatural(c.b, c.a, asciiCompare), -c.expected);
    }
}

TEST(SortOrderTest, ExtensionsAndDatesTaken)
{
    EXPECT_EQ(extensionOf("a.tar.gz"), "gz");
    EXPECT_EQ(extensionOf(".bashrc"), "");
    EXPECT_EQ(extensionOf("noext"), "");
    EXPECT_EQ(extensionOf("dot."), "");

    struct Case
    {
        const char *text;
        bool valid;
    };
    const Case cases[] = {
        {"2004:05:12 10:20:30", true},
        {"2004:02:29 00:00:00", true},
        {"0000:00:00 00:00:00", false},
        {"    :  :     :  :  ", false},
        {"2004-05-12 10:20:30", false},
        {"2004:13:12 10:20:30", false},
        {"2004:05:12 24:00:00", false},
        {"2004:05:12", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(takenSeconds(c.text).has_value(), c.valid);
    }
    // A second, a day across a month end and a year across a century are all later.
    EXPECT_EQ(*takenSeconds("2004:05:12 10:20:31") - *takenSeconds("2004:05:12 10:20:30"), 1);
    EXPECT_EQ(*takenSeconds("2004:03:01 00:00:00") - *takenSeconds("2004:02:29 00:00:00"), 86400);
    EXPECT_LT(*takenSeconds("1999:12:31 23:59:59"), *takenSeconds("2000:01:01 00:00:00"));
    EXPECT_EQ(sortKeyFromNumber(5), SortKey::Type);
    EXPECT_EQ(sortKeyFromNumber(6), std::nullopt);
    EXPECT_EQ(sortKeyFromNumber(-1), std::nullopt);
}

} // namespace
