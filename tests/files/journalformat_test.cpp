// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/journalformat.h"

#include <gtest/gtest.h>
#include <string>

using namespace std::literals;
using namespace morvane::files::journal;

namespace {

Entry sample(std::string from, std::string to)
{
    return {1700000000, "rename", {{Op::Move, std::move(from), std::move(to), "", {12, 34, 56}}}};
}

TEST(JournalFormatTest, EveryNameSurvivesTheLine)
{
    const std::string names[] = {
        "/p/a.jpg",
        "/p/with blank and\ttab",
        "/p/line\nbreak\r",
        "/p/100% =x",
        "/p/\x82\xa0\xff not UTF-8",
        "/p/写真.jpg",
        "",
    };
    for (const std::string &n : names) {
        SCOPED_TRACE(n);
        const std::string line = encodeEntry(sample(n, n + "2"));
        ASSERT_EQ(line.find('\n'), line.size() - 1);
        const auto back = decodeEntry(std::string_view(line).substr(0, line.size() - 1));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, sample(n, n + "2"));
    }
    Entry all {5, "drop", {}};
    for (const Op op : {Op::Move, Op::Copy, Op::Trash, Op::NewFolder, Op::Patch})
        all.items.push_back({op, "/a", "/b", "/c", {-1, 2, 3}});
    const std::string line = encodeEntry(all);
    EXPECT_EQ(parseJournal(line).entries, std::vector<Entry> {all});
}

TEST(JournalFormatTest, ADamagedLineIsSkippedAloneAndATornTailIgnored)
{
    const std::string a = encodeEntry(sample("/p/a", "/p/b"));
    const std::string b = encodeEntry(sample("/p/c", "/p/d"));
    std::string flipped = b;
    flipped[10] = flipped[10] == '1' ? '2' : '1';
    struct Case
    {
        const char *name;
        std::string text;
        std::size_t entries, damaged, goodEnd;
    };
    const Case cases[] = {
        {"two good lines", a + b, 2, 0, a.size() + b.size()},
        {"torn last line", a + b.substr(0, b.size() / 2), 1, 1, a.size()},
        {"torn without its newline", a + b.substr(0, b.size() - 1), 1, 1, a.size()},
        {"flipped byte in the middle", a + flipped + a, 2, 1, 2 * a.size() + flipped.size()},
        {"zero bytes after a crash",
            a + std::string(40, '\0') + "\n" + b,
            2,
            1,
            a.size() + 41 + b.size()},
        {"count larger than the items", "MJ1 1 =x 3 " + "0000000000000000\n"s, 0, 1, 28},
        {"empty", "", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Parsed p = parseJournal(c.text);
        EXPECT_EQ(p.entries.size(), c.entries);
        EXPECT_EQ(p.damaged, c.damaged);
        EXPECT_EQ(p.goodEnd, c.goodEnd);
    }
}

TEST(JournalFormatTest, APatchSurvivesItsTextAndADamagedOneIsRefused)
{
    struct Case
    {
        const char *name;
        std::string text;
        std::optional<Patch> patch;
    };
    const Case cases[] = {
        {"two bytes",
            encodePatch({1234, "\x00\x06"s, "\x00\x03"s}),
            Patch {1234, "\x00\x06"s, "\x00\x03"s}},
        {"high bytes", encodePatch({0, "\xff\x80", "\x7f\x01"}), Patch {0, "\xff\x80", "\x7f\x01"}},
        {"written form", "30 0006 0008", Patch {30, "\x00\x06"s, "\x00\x08"s}},
        {"sides of different lengths", "30 0006 08", std::nullopt},
        {"odd digits", "30 006 008", std::nullopt},
        {"not hex", "30 00g6 0008", std::nullopt},
        {"no position", "x 0006 0008", std::nullopt},
        {"a field missing", "30 0006", std::nullopt},
        {"a field too many", "30 0006 0008 00", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodePatch(c.text), c.patch);
    }
}

TEST(JournalFormatTest, PatchesOfOneFileSurviveTheirTextAndReverse)
{
    struct Case
    {
        const char *name;
        std::string text;
        std::optional<std::vector<Patch>> patches;
        std::vector<Patch> reversed; // when read
    };
    const Case cases[] = {
        {"one patch, as written before",
            "30 0006 0008",
            {{{30, "\x00\x06"s, "\x00\x08"s}}},
            {{30, "\x00\x08"s, "\x00\x06"s}}},
        {"growing ones move those after them",
            encodePatches({{4, "ab", "AB"}, {10, "cd", "xcdy"}, {20, "ef", "e"}}),
            {{{4, "ab", "AB"}, {10, "cd", "xcdy"}, {20, "ef", "e"}}},
            {{4, "AB", "ab"}, {10, "xcdy", "cd"}, {22, "e", "ef"}}},
        {"out of order", "10 00 01 4 00 01", std::nullopt, {}},
        {"overlapping", "4 0000 0101 5 00 01", std::nullopt, {}},
        {"an empty side", "4  01", std::nullopt, {}},
        {"a patch cut short", "4 00 01 9 00", std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = decodePatches(c.text);
        EXPECT_EQ(read, c.patches);
        if (read) {
            EXPECT_EQ(reversedPatches(*read), c.reversed);
        }
    }
}

} // namespace
