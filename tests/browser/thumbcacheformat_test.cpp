// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbcacheformat.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace morvane::browser;

namespace {

const ThumbKey kKey {"/photos/a\xff.jpg", 128, 3};
const FileStamp kStamp {123456, 1700000000123456789, 1700000001987654321, 4242};
const ThumbFacts kFacts {4000, 3000, 128, 96, 128, 96};
const std::string kPayload = "pixels, as compressed";

} // namespace

TEST(ThumbCacheFormatTest, EntryIsValidOnlyForItsKeyAndUnchangedFile)
{
    struct Case
    {
        const char *name;
        std::function<void(std::string &bytes, ThumbKey &key, FileStamp &stamp)> change;
        ThumbEntryState state;
    };
    const Case cases[] = {
        {"as written", [](std::string &, ThumbKey &, FileStamp &) {}, ThumbEntryState::Valid},
        {"size changed",
            [](std::string &, ThumbKey &, FileStamp &s) {
                s.size += 1;
            },
            ThumbEntryState::Stale},
        {"modified a nanosecond later",
            [](std::string &, ThumbKey &, FileStamp &s) {
                s.mtimeNs += 1;
            },
            ThumbEntryState::Stale},
        // A file replaced by another of the same size whose time was set back.
        {"changed, same size and time",
            [](std::string &, ThumbKey &, FileStamp &s) {
                s.ctimeNs += 1000;
            },
            ThumbEntryState::Stale},
        {"another inode",
            [](std::string &, ThumbKey &, FileStamp &s) {
                s.inode = 1;
            },
            ThumbEntryState::Stale},
        {"another path",
            [](std::string &, ThumbKey &k, FileStamp &) {
                k.nativePath = "/photos/b.jpg";
            },
            ThumbEntryState::OtherKey},
        {"another box",
            [](std::string &, ThumbKey &k, FileStamp &) {
                k.boxSize = 96;
            },
            ThumbEntryState::OtherKey},
        {"another quality",
            [](std::string &, ThumbKey &k, FileStamp &) {
                k.jpegScale = 2;
            },
            ThumbEntryState::OtherKey},
        {"turned upright",
            [](std::string &, ThumbKey &k, FileStamp &) {
                k.upright = true;
            },
            ThumbEntryState::OtherKey},
        {"empty file",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b.clear();
            },
            ThumbEntryState::Damaged},
        {"cut in the header",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b.resize(40);
            },
            ThumbEntryState::Damaged},
        {"last byte missing",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b.pop_back();
            },
            ThumbEntryState::Damaged},
        {"a byte too many",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b.push_back('x');
            },
            ThumbEntryState::Damaged},
        {"payload byte flipped",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b[b.size() - 3] ^= 0x10;
            },
            ThumbEntryState::Damaged},
        // The drawn width, inside the header: its checksum tells.
        {"header byte flipped",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b[20 + kKey.nativePath.size() + 40] ^= 1;
            },
            ThumbEntryState::Damaged},
        {"other version",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b[4] = 9;
            },
            ThumbEntryState::Damaged},
        {"zeros",
            [](std::string &b, ThumbKey &, FileStamp &) {
                b.assign(b.size(), '\0');
            },
            ThumbEntryState::Damaged},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = encodeThumbEntry(kKey, kStamp, kFacts, kPayload);
        ThumbKey key = kKey;
        FileStamp stamp = kStamp;
        c.change(bytes, key, stamp);
        const ParsedThumbEntry parsed = parseThumbEntry(bytes, key, stamp);
        EXPECT_EQ(parsed.state, c.state);
        if (c.state == ThumbEntryState::Valid) {
            EXPECT_EQ(bytes.substr(parsed.payloadOffset, parsed.payloadSize), kPayload);
            EXPECT_EQ(parsed.facts.fullWidth, 4000);
            EXPECT_EQ(parsed.facts.drawnHeight, 96);
            EXPECT_EQ(parsed.facts.pixelWidth, 128);
        }
    }
}

TEST(ThumbCacheFormatTest, FactsOutsideTheBoxAreDamage)
{
    struct Case
    {
        const char *name;
        ThumbFacts facts;
        ThumbEntryState state;
    };
    const Case cases[] = {
        {"decoded picture smaller than the box",
            {320, 240, 128, 96, 40, 30},
            ThumbEntryState::Valid},
        {"hair-thin drawn width", {1, 100000, 0, 128, 1, 128}, ThumbEntryState::Valid},
        {"pixels wider than the box", {4000, 3000, 128, 96, 129, 96}, ThumbEntryState::Damaged},
        {"drawn taller than the box", {4000, 3000, 128, 129, 128, 96}, ThumbEntryState::Damaged},
        {"no pixels", {4000, 3000, 128, 96, 0, 96}, ThumbEntryState::Damaged},
        {"no full size", {0, 3000, 128, 96, 128, 96}, ThumbEntryState::Damaged},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = encodeThumbEntry(kKey, kStamp, c.facts, kPayload);
        EXPECT_EQ(parseThumbEntry(bytes, kKey, kStamp).state, c.state);
    }
}

TEST(ThumbCacheFormatTest, EntryNamesTellKeysApart)
{
    const std::string name = thumbEntryName(kKey);
    EXPECT_TRUE(isThumbEntryName(name));
    for (const ThumbKey &other : {ThumbKey {"/photos/b.jpg", 128, 3},
             ThumbKey {kKey.nativePath, 96, 3},
             ThumbKey {kKey.nativePath, 128, 2},
             ThumbKey {kKey.nativePath, 128, 3, true}}) {
        SCOPED_TRACE(other.nativePath + " " + std::to_string(other.boxSize));
        EXPECT_NE(thumbEntryName(other), name);
    }
    for (const char *stranger : {".tmp-abcdef", "0123456789abcdef.mv", "0123456789ABCDEF.mvt", ""})
        EXPECT_FALSE(isThumbEntryName(stranger)) << stranger;
}

TEST(ThumbCacheFormatTest, EvictsLeastRecentlyUsedDownToTheLimit)
{
    const std::vector<CacheFile> files = {
        {"c", 100, 30}, {"a", 100, 10}, {"d", 100, 40}, {"b", 100, 10}, {"e", 50, 50}};
    struct Case
    {
        const char *name;
        std::int64_t limit;
        std::vector<std::string> removed;
    };
    const Case cases[] = {
        {"everything fits", 450, {}},
        {"one byte over: the oldest goes, ties by name", 449, {"a"}},
        {"room for the two newest", 150, {"a", "b", "c"}},
        {"limit 0 empties the cache", 0, {"a", "b", "c", "d", "e"}},
        {"negative counts as 0", -5, {"a", "b", "c", "d", "e"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> removed;
        for (const std::size_t i : pickEvictions(files, c.limit))
            removed.push_back(files[i].name);
        EXPECT_EQ(removed, c.removed);
    }
}

TEST(ThumbCacheFormatTest, LimitFromSettingsText)
{
    struct Case
    {
        const char *text;
        std::int64_t mib;
    };
    const Case cases[] = {{"", 512},
        {"256", 256},
        {" 64 ", 64},
        {"0", 0},
        {"-1", 512},
        {"12MB", 512},
        {"abc", 512},
        {"99999999999", std::int64_t(1) << 20}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cacheLimitBytes(c.text, 512), c.mib << 20);
    }
}

TEST(ThumbCacheFormatTest, DeltaRowsRoundTripToOpaquePixels)
{
    // 3 x 2 pixels in rows of stride 4; alpha comes back opaque, the colours exactly.
    const std::vector<std::uint32_t> pixels = {
        0xFF000000, 0xFFFFFFFF, 0x80102030, 0xDEADBEEF, 0xFF7F8081, 0x00FF0001, 0xFF010101, 0};
    const std::string delta = toDeltaRgb(pixels.data(), 3, 2, 4);
    ASSERT_EQ(delta.size(), 18U);
    std::vector<std::uint32_t> back(8, 0x12345678);
    ASSERT_TRUE(fromDeltaRgb(delta, 3, 2, back.data(), 4));
    for (std::size_t i : {0U, 1U, 2U, 4U, 5U, 6U})
        EXPECT_EQ(back[i], pixels[i] | 0xFF000000U) << i;
    EXPECT_EQ(back[3], 0x12345678U); // past the row: untouched
    EXPECT_FALSE(fromDeltaRgb(delta.substr(1), 3, 2, back.data(), 4));
}
