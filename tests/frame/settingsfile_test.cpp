// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/settingsfile.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <string>

using morvane::app::applyRadioGroup;
using morvane::app::parseInteger;
using morvane::app::SettingsFile;

namespace {

TEST(SettingsFileTest, ParsesIntegerTexts)
{
    struct Case
    {
        const char *text;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"0x20", 32},
        {"0X1f", 31},
        {"$20", 32},
        {"$ff", 255},
        {"0x1", 1},
        {"0x", std::nullopt}, // two characters only: not hexadecimal, and no decimal either
        {"$", std::nullopt},
        {"0xg", std::nullopt},
        {"0x-1", std::nullopt},
        {"-0x10", std::nullopt},
        {"$FFFFFFFF", -1},
        {"0x80000000", -2147483647 - 1},
        {"0x7FFFFFFF", 2147483647},
        {"$100000000", std::nullopt},
        {"0x0000000000000010", 16},
        {"10", 10},
        {"+5", 5},
        {"-17", -17},
        {"007", 7},
        {"000000000000000000000001", 1},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"abc", std::nullopt},
        {"1 2", std::nullopt},
        {"12a", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseInteger(c.text), c.expected);
    }
}

TEST(SettingsFileTest, ReadsValuesWithDefaults)
{
    enum class Kind { Integer, Bool, String };
    using enum Kind;
    struct Case
    {
        const char *name;
        std::string file;
        const char *section;
        const char *key;
        Kind kind;
        std::string def; // integer/bool defaults as decimal text
        std::string expected;
    };
    const Case cases[] = {
        {"lower-case section and key", "[main]\r\ntop=10\r\n", "Main", "Top", Integer, "114", "10"},
        {"upper-case lookup", "[Main]\r\nTop=10\r\n", "MAIN", "TOP", Integer, "0", "10"},
        {"spaces around key, = and value",
            "[Main]\r\n   Top  =   7   \r\n",
            "Main",
            "Top",
            Integer,
            "0",
            "7"},
        {"control characters at the ends",
            "[Main]\r\n\t\x01Top=3\x02\x7f\r\n",
            "Main",
            "Top",
            Integer,
            "0",
            "3"},
        {"spaced section name", "[  Main  ]\r\nTop=4\r\n", "Main", "Top", Integer, "0", "4"},
        {"hexadecimal 0x", "[Main]\r\nTop=0x20\r\n", "Main", "Top", Integer, "0", "32"},
        {"hexadecimal $", "[Main]\r\nTop=$20\r\n", "Main", "Top", Integer, "0", "32"},
        {"letters give the default", "[Main]\r\nTop=abc\r\n", "Main", "Top", Integer, "114", "114"},
        {"empty integer gives the default",
            "[Main]\r\nTop=\r\n",
            "Main",
            "Top",
            Integer,
            "114",
            "114"},
        {"out of range gives the default",
            "[Main]\r\nTop=4294967296\r\n",
            "Main",
            "Top",
            Integer,
            "5",
            "5"},
        {"negative integer", "[Main]\r\nLeft=-1200\r\n", "Main", "Left", Integer, "0", "-1200"},
        {"missing key", "[Main]\r\nLeft=1\r\n", "Main", "Top", Integer, "114", "114"},
        {"missing section", "[View]\r\nTop=1\r\n", "Main", "Top", Integer, "114", "114"},
        {"boolean 2 is true", "[Main]\r\nSize1=2\r\n", "Main", "Size1", Bool, "0", "1"},
        {"boolean -1 is true", "[Main]\r\nSize1=-1\r\n", "Main", "Size1", Bool, "0", "1"},
        {"boolean 0 is false", "[Main]\r\nSize2=0\r\n", "Main", "Size2", Bool, "1", "0"},
        {"empty boolean, true default", "[Main]\r\nSize2=\r\n", "Main", "Size2", Bool, "1", "1"},
        {"empty boolean, false default", "[Main]\r\nSize1=\r\n", "Main", "Size1", Bool, "0", "0"},
        {"boolean of letters, true default",
            "[Main]\r\nUpDate=yes\r\n",
            "Main",
            "UpDate",
            Bool,
            "1",
            "1"},
        {"boolean hexadecimal zero", "[Main]\r\nUpDate=0x0\r\n", "Main", "UpDate", Bool, "1", "0"},
        {"string after the first =",
            "[Option]\r\nT2=/usr/bin/x --a=b\r\n",
            "Option",
            "T2",
            String,
            "",
            "/usr/bin/x --a=b"},
        {"string trimmed",
            "[Option]\r\nT1 =  My tool  \r\n",
            "Option",
            "T1",
            String,
            "",
            "My tool"},
        {"empty string value is not the default",
            "[Option]\r\nT1=\r\n",
            "Option",
            "T1",
            String,
            "def",
            ""},
        {"missing string key", "[Option]\r\nT2=x\r\n", "Option", "T1", String, "登録１", "登録１"},
        {"entry before the first section is ignored",
            "Top=5\r\n[Main]\r\n",
            "Main",
            "Top",
            Integer,
            "114",
            "114"},
        {"comment line is skipped", "[Main]\r\n;Top=5\r\n", "Main", "Top", Integer, "114", "114"},
        {"indented comment line is skipped",
            "[Main]\r\n   ;Top=5\r\n",
            "Main",
            "Top",
            Integer,
            "114",
            "114"},
        {"LF line ends", "[Main]\nTop=6\nLeft=7\n", "Main", "Left", Integer, "0", "7"},
        {"lone CR line ends", "[Main]\rTop=6\rLeft=8\r", "Main", "Left", Integer, "0", "8"},
        {"no line end at all", "[Main]\r\nTop=9", "Main", "Top", Integer, "0", "9"},
        {"line without = is no key", "[Main]\r\nTop\r\n", "Main", "Top", Integer, "114", "114"},
        {"twice the key: the first is read",
            "[Main]\r\nTop=1\r\ntop=2\r\n",
            "Main",
            "Top",
            Integer,
            "0",
            "1"},
        {"twice the section: the first is read",
            "[Main]\r\nTop=1\r\n[MAIN]\r\nTop=2\r\n",
            "Main",
            "Top",
            Integer,
            "0",
            "1"},
        {"key only in the second copy of a section",
            "[Main]\r\nLeft=1\r\n[Main]\r\nTop=2\r\n",
            "Main",
            "Top",
            Integer,
            "114",
            "114"},
        {"the second byte of a character is no letter",
            "[\x83\x41]\r\nk=1\r\n",
            "\x83\x61",
            "k",
            Integer,
            "0",
            "0"},
        {"same double-byte name matches",
            "[\x83\x41]\r\nk=1\r\n",
            "\x83\x41",
            "K",
            Integer,
            "0",
            "1"},
        {"NUL bytes inside a value",
            std::string("[Main]\r\nTN1=a\0b\r\n", 17),
            "Main",
            "TN1",
            String,
            "",
            std::string("a\0b", 3)},
        {"section line inside brackets",
            "[Main]x]\r\nTop=3\r\n",
            "Main]x",
            "Top",
            Integer,
            "0",
            "3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsFile f = SettingsFile::parse(c.file);
        switch (c.kind) {
        case Kind::Integer:
            EXPECT_EQ(
                std::to_string(f.readInteger(c.section, c.key, std::stoi(c.def))), c.expected);
            break;
        case Kind::Bool:
            EXPECT_EQ(f.readBool(c.section, c.key, c.def == "1") ? "1" : "0", c.expected);
            break;
        case Kind::String:
            EXPECT_EQ(f.readString(c.section, c.key, c.def), c.expected);
            break;
        }
    }
}

TEST(SettingsFileTest, SerializesWhatASaveWrites)
{
    struct Case
    {
        const char *name;
        const char *file;
        const char *expected;
    };
    const Case cases[] = {
        {"empty file", "", ""},
        {"nothing but comments and text before a section", ";c\r\nabc\r\nTop=1\r\n", ""},
        {"comment dropped, spaces removed, empty line after each section",
            "; header\r\n[Main]\r\n  Top = 10 \r\n;note\r\n\r\n\r\nLeft=5\r\n[View]\r\nx\r\n",
            "[Main]\r\nTop=10\r\nLeft=5\r\n\r\n[View]\r\nx\r\n\r\n"},
        {"LF file comes back in CR LF", "[Main]\nTop=1\n", "[Main]\r\nTop=1\r\n\r\n"},
        {"section name trimmed", "[ Main ]\r\n", "[Main]\r\n\r\n"},
        {"empty section name kept", "[]\r\nk=v\r\n", "[]\r\nk=v\r\n\r\n"},
        {"duplicate sections and keys kept",
            "[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n",
            "[A]\r\nk=1\r\nk=2\r\n\r\n[a]\r\nk=3\r\n\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SettingsFile::parse(c.file).serialize(), c.expected);
    }
}

TEST(SettingsFileTest, WritesReplaceOrAppend)
{
    struct Case
    {
        const char *name;
        const char *file;
        const char *section;
        const char *key;
        const char *value;
        const char *expected;
    };
    const Case cases[] = {
        {"replace in place keeps the order",
            "[Main]\r\nTop=1\r\nLeft=2\r\n",
            "Main",
            "Top",
            "9",
            "[Main]\r\nTop=9\r\nLeft=2\r\n\r\n"},
        {"replace matches without letter case",
            "[main]\r\ntop=1\r\n",
            "Main",
            "Top",
            "9",
            "[main]\r\nTop=9\r\n\r\n"},
        {"new key at the end of its section",
            "[Main]\r\nTop=1\r\n[View]\r\nTop=2\r\n",
            "Main",
            "Left",
            "3",
            "[Main]\r\nTop=1\r\nLeft=3\r\n\r\n[View]\r\nTop=2\r\n\r\n"},
        {"new section at the end",
            "[View]\r\nTop=2\r\n",
            "Option",
            "T1",
            "x",
            "[View]\r\nTop=2\r\n\r\n[Option]\r\nT1=x\r\n\r\n"},
        {"twice the key: the first is replaced",
            "[Main]\r\nTop=1\r\nTop=2\r\n",
            "Main",
            "Top",
            "5",
            "[Main]\r\nTop=5\r\nTop=2\r\n\r\n"},
        {"twice the section: the first gets the key",
            "[Main]\r\n[Main]\r\nTop=2\r\n",
            "Main",
            "Top",
            "5",
            "[Main]\r\nTop=5\r\n\r\n[Main]\r\nTop=2\r\n\r\n"},
        {"value stored trimmed", "", "Option", "T1", "  title\t ", "[Option]\r\nT1=title\r\n\r\n"},
        {"value with = kept whole", "", "Option", "T2", "a=b=c", "[Option]\r\nT2=a=b=c\r\n\r\n"},
        {"value with a line break refused",
            "[Option]\r\nT2=old\r\n",
            "Option",
            "T2",
            "x\r\n[Main]\r\nTop=0",
            "[Option]\r\nT2=old\r\n\r\n"},
        {"value with LF refused", "", "Option", "T2", "a\nb", ""},
        {"key with = refused", "", "Main", "a=b", "1", ""},
        {"key opening a comment refused", "", "Main", ";Top", "1", ""},
        {"key opening a section refused", "", "Main", "[x", "]", ""},
        {"key with spaces at its ends refused", "", "Main", " Top", "1", ""},
        {"section with a line break refused", "", "Ma\r\nin", "Top", "1", ""},
        {"section with spaces at its ends refused", "", " Main", "Top", "1", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile f = SettingsFile::parse(c.file);
        f.writeString(c.section, c.key, c.value);
        EXPECT_EQ(f.serialize(), c.expected);
    }
}

TEST(SettingsFileTest, TypedWritesReadBackThroughAFreshParse)
{
    struct Case
    {
        const char *key;
        int value;
        const char *text;
    };
    const Case cases[] = {
        {"Top", 10, "10"},
        {"Left", -5, "-5"},
        {"Height", 2147483647, "2147483647"},
        {"Width", -2147483647 - 1, "-2147483648"},
        {"Zero", 0, "0"},
    };
    SettingsFile f;
    for (const Case &c : cases)
        f.writeInteger("Main", c.key, c.value);
    f.writeBool("Main", "Size1", true);
    f.writeBool("Main", "Size2", false);
    f.writeString("Main", "TN1", "\x93\x6f\x98\x5e\x82\x50"); // the CP932 bytes of 登録１

    const SettingsFile reread = SettingsFile::parse(f.serialize());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(reread.readInteger("Main", c.key, 777), c.value);
        EXPECT_EQ(reread.readString("Main", c.key, ""), c.text);
    }
    EXPECT_EQ(reread.readString("Main", "Size1", ""), "1");
    EXPECT_EQ(reread.readString("Main", "Size2", ""), "0");
    EXPECT_TRUE(reread.readBool("Main", "Size1", false));
    EXPECT_FALSE(reread.readBool("Main", "Size2", true));
    EXPECT_EQ(reread.readString("Main", "TN1", ""), "\x93\x6f\x98\x5e\x82\x50");
}

TEST(SettingsFileTest, OtherSectionsAndUnknownKeysSurviveASave)
{
    const std::string file = "[View]\r\nTop=145\r\nFuture=abc\r\n\r\n"
                             "[Option]\r\nT1=x\r\nT3=kept\r\n\r\n"
                             "[Main]\r\nTop=1\r\nMystery=42\r\n\r\n"
                             "[Other]\r\nk=v\r\n\r\n";
    // The main window's save: a fresh reading, every key of its section, the whole file back.
    SettingsFile f = SettingsFile::parse(file);
    f.writeInteger("Main", "Top", 50);
    f.writeInteger("Main", "Left", 60);
    f.writeBool("Main", "UpDate", false);
    EXPECT_EQ(f.serialize(),
        "[View]\r\nTop=145\r\nFuture=abc\r\n\r\n"
        "[Option]\r\nT1=x\r\nT3=kept\r\n\r\n"
        "[Main]\r\nTop=50\r\nMystery=42\r\nLeft=60\r\nUpDate=0\r\n\r\n"
        "[Other]\r\nk=v\r\n\r\n");
}

TEST(SettingsFileTest, RadioGroupAppliesKeysInTableOrder)
{
    struct Case
    {
        const char *name;
        const char *file;
        std::vector<bool> before;
        std::size_t designDefault;
        std::vector<bool> expected;
    };
    const std::vector<bool> size48 = {false, true, false, false, false, false, false};
    const Case cases[] = {
        {"no keys keep the design state", "[Main]\r\n", size48, 1, size48},
        {"Size1 alone checks 32 and unchecks 48",
            "[Main]\r\nSize1=1\r\n",
            size48,
            1,
            {true, false, false, false, false, false, false}},
        {"several true: the last wins",
            "[Main]\r\nSize3=1\r\nSize1=1\r\nSize5=1\r\n",
            size48,
            1,
            {false, false, false, false, true, false, false}},
        {"all false: design default",
            "[Main]\r\nSize1=0\r\nSize2=0\r\nSize3=0\r\n",
            size48,
            1,
            size48},
        {"Size2=0 alone: design default", "[Main]\r\nSize2=0\r\n", size48, 1, size48},
        {"Size7=2 counts as true",
            "[Main]\r\nSize7=2\r\n",
            size48,
            1,
            {false, false, false, false, false, false, true}},
        {"unreadable value keeps the item's state", "[Main]\r\nSize2=yes\r\n", size48, 1, size48},
        {"Size2=0 then Size4=1",
            "[Main]\r\nSize2=0\r\nSize4=1\r\n",
            size48,
            1,
            {false, false, false, true, false, false, false}},
        {"design default other than the first",
            "[Main]\r\nSize1=0\r\nSize2=0\r\n",
            {true, true, false},
            2,
            {false, false, true}},
        {"empty group stays empty", "[Main]\r\nSize1=1\r\n", {}, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsFile f = SettingsFile::parse(c.file);
        const auto read = [&f](std::size_t i, bool def) {
            return f.readBool("Main", "Size" + std::to_string(i + 1), def);
        };
        EXPECT_EQ(applyRadioGroup(c.before, read, c.designDefault), c.expected);
    }
}

TEST(SettingsFileTest, HostileBytesParseAndSaveToAStableFile)
{
    // Deterministic garbage of every kind of byte, with brackets, "=", ";" and line ends mixed in
    // so that many lines look almost like sections and entries.
    std::mt19937 rng(20240512);
    const char alphabet[] = "[]=;\r\n \t\x00\x81\x5b\x5d\xfc\xff"
                            "abcAB0x$-";
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        std::string bytes;
        const std::size_t length = rng() % 400;
        for (std::size_t i = 0; i < length; ++i) {
            if (rng() % 3 == 0)
                bytes += static_cast<char>(rng() % 256);
            else
                bytes += alphabet[rng() % (sizeof alphabet - 1)];
        }
        SettingsFile f = SettingsFile::parse(bytes);
        f.writeInteger("Main", "Top", round);
        f.writeString("Option", "T2", "/usr/bin/tool");
        const std::string once = f.serialize();
        const SettingsFile again = SettingsFile::parse(once);
        EXPECT_EQ(again.serialize(), once);
        EXPECT_EQ(again.readInteger("Main", "Top", -1), round);
        EXPECT_EQ(again.readString("Option", "T2", ""), "/usr/bin/tool");
    }
}

} // namespace
