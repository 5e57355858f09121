// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewindex.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace morvane::viewer;

namespace {

std::vector<std::string> pictures(int n)
{
    std::vector<std::string> list;
    for (int i = 0; i < n; ++i) {
        list.push_back("/f/p" + std::to_string(i) + ".jpg");
        list.push_back(std::to_string(1000 + i));
        list.push_back("2004/05/12");
        list.push_back("640");
        list.push_back("480");
    }
    return list;
}

} // namespace

TEST(ViewIndexTest, ForwardStepStopsAtTheLastPicture)
{
    struct Case
    {
        const char *name;
        int pictures;
        std::int32_t index;
        std::optional<std::int32_t> next;
    };
    const Case cases[] = {
        {"first of three", 3, 0, 5},
        {"second of three", 3, 5, 10},
        {"last of three", 3, 10, std::nullopt},
        {"only picture", 1, 0, std::nullopt},
        {"empty list", 0, 0, std::nullopt},
        {"stale index beyond the list", 2, 40, std::nullopt},
        {"before the first picture", 3, -1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(nextPictureIndex(c.index, pictures(c.pictures).size()), c.next);
    }
}

TEST(ViewIndexTest, BackwardStepStopsAtTheFirstPicture)
{
    struct Case
    {
        const char *name;
        int pictures;
        std::int32_t index;
        std::optional<std::int32_t> previous;
    };
    const Case cases[] = {
        {"last of three", 3, 10, 5},
        {"second of three", 3, 5, 0},
        {"first", 3, 0, std::nullopt},
        {"empty list", 0, 5, std::nullopt},
        {"stale index beyond the list steps to the last", 2, 40, 5},
        {"negative index", 3, -5, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(previousPictureIndex(c.index, pictures(c.pictures).size()), c.previous);
    }
}

TEST(ViewIndexTest, StepsVisitEveryPictureOnceAndStop)
{
    // A step that never stops would grow the lists without end: each walk takes at most one
    // step more than there are pictures.
    const auto list = pictures(7);
    std::vector<std::int32_t> seen {0};
    for (auto i = nextPictureIndex(0, list.size()); i && seen.size() <= 7;
         i = nextPictureIndex(*i, list.size()))
        seen.push_back(*i);
    EXPECT_EQ(seen, (std::vector<std::int32_t> {0, 5, 10, 15, 20, 25, 30}));
    std::vector<std::int32_t> back;
    for (auto i = previousPictureIndex(30, list.size()); i && back.size() <= 7;
         i = previousPictureIndex(*i, list.size()))
        back.push_back(*i);
    EXPECT_EQ(back, (std::vector<std::int32_t> {25, 20, 15, 10, 5, 0}));
}

TEST(ViewIndexTest, FindsTheOpenPathAtARecordStart)
{
    auto list = pictures(4);
    list[6] = "/f/p3.jpg"; // a size string that happens to equal a path is never taken
    list.push_back("/f/partial.jpg"); // an incomplete record at the end
    struct Case
    {
        const char *name;
        std::string path;
        std::optional<std::int32_t> index;
    };
    const Case cases[] = {
        {"first", "/f/p0.jpg", 0},
        {"third", "/f/p2.jpg", 10},
        {"past a look-alike string", "/f/p3.jpg", 15},
        {"letter case counts", "/f/P1.jpg", std::nullopt},
        {"absent", "/f/none.jpg", std::nullopt},
        {"an incomplete record is no picture", "/f/partial.jpg", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findPicture(list, c.path), c.index);
    }
}

TEST(ViewIndexTest, RecordsNeverReadOutsideTheList)
{
    const auto whole = pictures(2);
    auto list = whole;
    list.push_back("/f/partial.jpg"); // an incomplete record at the end
    struct Case
    {
        const std::vector<std::string> *list;
        std::int32_t index;
        const char *path; // nullptr: no record
    };
    const Case cases[] = {{&list, 0, "/f/p0.jpg"},
        {&list, 5, "/f/p1.jpg"},
        {&whole, 5, "/f/p1.jpg"}, // the last record, ending with the list
        {&list, 10, nullptr},
        {&list, 3, nullptr},
        {&list, -5, nullptr},
        {&list, 2147483645, nullptr}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        const auto rec = pictureRecord(*c.list, c.index);
        if (c.path == nullptr) {
            EXPECT_FALSE(rec.has_value());
        } else {
            ASSERT_TRUE(rec.has_value());
            EXPECT_EQ(rec->path, c.path);
            EXPECT_EQ(rec->width, "640");
        }
    }
    EXPECT_EQ(pictureCount(list.size()), 2);
    EXPECT_EQ(picturePosition(10), 3);
}

TEST(ViewIndexTest, DimensionsOfRecordStrings)
{
    struct Case
    {
        const char *text;
        std::int32_t value;
    };
    const Case cases[] = {{"1600", 1600},
        {"0", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 0},
        {"", 0},
        {"-5", 0},
        {"12px", 0},
        {" 12", 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(recordDimension(c.text), c.value);
    }
}
