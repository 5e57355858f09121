// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cp932.h"

#include <gtest/gtest.h>
#include <optional>

using morvane::platform::cp932Reading;
using morvane::platform::fromCp932;
using morvane::platform::toCp932;
using morvane::platform::toCp932Strict;

TEST(Cp932Test, EncodesKnownCharactersAsTheCodePageDoes)
{
    struct Case
    {
        const char *name;
        std::string utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"ascii", "IMG_0012.JPG", "IMG_0012.JPG"},
        {"kanji", "写真", "\x8e\xca\x90\x5e"},
        {"ideographic space", "\u3000", "\x81\x40"},
        {"half-width katakana", "\uff71", "\xb1"},
        {"full-width digit one", "１", "\x82\x50"},
        {"backslash stays a backslash", "\\", "\\"},
        {"ten with trail byte 0x5c", "表", "\x95\x5c"},
        {"the last trail byte 0xfc", "◯", "\x81\xfc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = toCp932(c.utf8);
        EXPECT_EQ(r.bytes, c.cp932);
        EXPECT_TRUE(r.extras.empty());
        EXPECT_EQ(fromCp932(r.bytes), c.utf8);
    }
}

TEST(Cp932Test, CharactersOutsideTheCodePageRoundTripAsDoubleByteCharacters)
{
    struct Case
    {
        const char *name;
        std::string utf8;
        size_t bytes;
    };
    const Case cases[] = {
        {"accented latin", "jos\u00e9.jpg", 3 + 2 + 4},
        {"emoji", "\U0001F600x", 2 + 1},
        {"invalid utf-8 byte",
            "a\xff"
            "b",
            1 + 2 + 1},
        {"truncated sequence at end", "a\xe3\x81", 1 + 2 + 2},
        {"user-defined area character", "\ue000", 2},
        // The 188th placeholder is F0 FC (here "ü"), the 189th F1 40.
        {"placeholders reach trail byte 0xfc",
            [] {
                std::string s;
                for (int i = 0; i < 187; ++i)
                    s += "\u00e9";
                return s + "\u00fc\u00e9";
            }(),
            2 * 189},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = toCp932(c.utf8);
        EXPECT_EQ(r.bytes.size(), c.bytes);
        EXPECT_TRUE(r.lossless);
        EXPECT_EQ(fromCp932(r.bytes, r.extras), c.utf8);
    }
}

TEST(Cp932Test, DecodesBrokenBytesWithoutReadingPastTheEnd)
{
    EXPECT_EQ(fromCp932("a\x82"), "a\uFFFD");
    EXPECT_EQ(fromCp932("\x82\x30"), "\uFFFD0"); // an invalid trail byte is read again on its own
    EXPECT_EQ(fromCp932(std::string("\0", 1)), std::string("\0", 1));
}

TEST(Cp932Test, NamesInCodePageBytesAreReadAsTheirText)
{
    struct Case
    {
        const char *name;
        std::string bytes;
        std::optional<std::string> text; // nullopt: not read as code page text
    };
    const Case cases[] = {
        {"kanji and digits",
            "\x8e\xca\x90\x5e"
            "12.jpg",
            "写真12.jpg"},
        {"half-width katakana", "\xb1\xb2", "ｱｲ"},
        {"trail byte 5C is part of the character", "\x95\x5c.txt", "表.txt"},
        {"valid UTF-8 keeps its own reading", "写真.jpg", std::nullopt},
        {"ASCII keeps its own reading", "a.jpg", std::nullopt},
        {"lead byte at the end", "a\x8e", std::nullopt},
        {"lead byte with an invalid trail", "\x82\x30", std::nullopt},
        {"byte outside the code page", "\x8e\xca\xff", std::nullopt},
        {"unassigned double-byte code", "\x85\x40", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cp932Reading(c.bytes), c.text);
    }
}

TEST(Cp932Test, StrictConversionMarksLostCharacters)
{
    const auto good = toCp932Strict("登録１");
    EXPECT_TRUE(good.ok);
    EXPECT_EQ(fromCp932(good.bytes), "登録１");
    const auto bad = toCp932Strict("caf\u00e9");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.bytes, "caf?");
}
