// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/renamelang.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using namespace morvane::organise;

namespace {

constexpr const char *kGrammar = "閉じる<>\\*?/文法が違います。";
constexpr const char *kMissing = "桁数がありません。";
constexpr RenameError kForbidden = RenameError::ForbiddenCharacter;

struct NameCase
{
    const char *name;
    std::string oldName;
    std::string pattern;
    std::int64_t sequenceBefore;
    std::string expected;
    std::int64_t sequenceAfter;
};

void checkNames(const std::vector<NameCase> &cases)
{
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t seq = c.sequenceBefore;
        const RenameResult r = BuildNewNameUtf8(c.oldName, c.pattern, seq);
        EXPECT_EQ(r.error, RenameError::None) << r.message;
        EXPECT_TRUE(r.message.empty());
        EXPECT_EQ(r.name, c.expected);
        EXPECT_EQ(seq, c.sequenceAfter);
    }
}

} // namespace

TEST(RenameLangTest, WorkedExamples)
{
    checkNames({
        {"sequence group keeps the extension", "IMG_0012.JPG", "photo\\3\\", 1, "photo001.JPG", 2},
        {"drop, literal, keep, lower-case extension",
            "IMG_0012.JPG",
            ">4>x<4<.*",
            1,
            "x0012.jpg",
            1},
        {"pad takes what is left", "DSC1.jpg", "<3</4/", 1, "DSC0001.jpg", 1},
        {"upper case one byte", "abc.txt", "?1?<9<", 1, "Abc.txt", 1},
        {"each kanji counts two", "写真12.jpg", ">4><2<", 1, "12.jpg", 1},
        {"two bytes take one kanji", "写真12.jpg", "img<2<", 1, "img写.jpg", 1},
        {"lower base, upper extension", "Photo.JPEG", "*9*.?", 1, "photo.JPEG", 1},
        {"literal pattern with extension", "Photo.jpeg", "new.png", 1, "new.png", 1},
        {"two sequence groups consume two", "abc.jpg", "\\2\\_\\2\\", 1, "01_02.jpg", 3},
        {"keep and four-digit number", "12345.jpg", "<2<-\\4\\", 98, "12-0098.jpg", 99},
        {"count zero writes the number whole", "x.jpg", "\\0\\", 123, "123.jpg", 124},
        {"pad a single byte", "x.jpg", "/3/", 1, "00x.jpg", 1},
        {"dot before a group is literal", "a.jpg", "x.\\1\\", 7, "x.7.jpg", 8},
        {"count beyond the name", "a.jpg", "<99<", 1, "a.jpg", 1},
        {"cursor past the end takes nothing", "ab.jpg", ">5><2<z", 1, "z.jpg", 1},
        {"star with no old extension", "readme", "<2<.*", 1, "re", 1},
    });
}

TEST(RenameLangTest, EdgeCasesOfTheGroups)
{
    checkNames({
        {"keep zero writes nothing", "abc.jpg", "<0<x", 1, "x.jpg", 1},
        {"leading zeros in the count", "abcdef.jpg", "<03<", 1, "abc.jpg", 1},
        {"number longer than the count", "a.jpg", "\\2\\", 123, "123.jpg", 124},
        {"negative number, zeros before the sign", "a.jpg", "\\4\\", -5, "00-5.jpg", -4},
        {"star in the base opens a group", "ABC.JPG", "*2*x", 1, "abx.JPG", 1},
        {"question mark in the base opens a group", "abc.jpg", "?2?", 1, "AB.jpg", 1},
        {"pad with nothing left", "ab.jpg", ">2>/3/", 1, "000.jpg", 1},
        {"drop then keep the rest", "IMG_0001.JPG", ">4><99<", 1, "0001.JPG", 1},
        {"untaken bytes vanish", "abcdef.txt", "<1<->1><1<", 1, "a-c.txt", 1},
        {"empty base is passed on", "abc.jpg", "<0<", 1, ".jpg", 1},
        {"name starting with its only dot", ".bashrc", "x<9<", 1, "x.bashrc", 1},
        {"star, then question mark: lower case", "Photo.JPEG", "<9<.*?", 1, "Photo.jpeg", 1},
        {"question mark, then star: lower case", "Photo.Jpg", "<9<.?*", 1, "Photo.jpg", 1},
        {"lower case reaches Z", "ZAZ.JPZ", "*3*.*", 1, "zaz.jpz", 1},
        {"upper case reaches z", "zaz.jpz", "?3?.?", 1, "ZAZ.JPZ", 1},
        {"exactly the length limit, no extension",
            "a",
            "/4096/",
            1,
            std::string(4095, '0') + "a",
            1},
        {"exactly the length limit with an extension",
            "a.jpg",
            "/4092/",
            1,
            std::string(4091, '0') + "a.jpg",
            1},
        {"literal extension is not a group", "a.jpg", "b.<3<", 1, "b.<3<", 1},
        {"colon after the dot: no extension", "a.jpg", "b.x:y", 1, "b.x:y.jpg", 1},
        {"pattern ending in a dot keeps that dot", "a.jpg", "b.", 1, "b.", 1},
        {"old name without extension, pattern without", "README", "<3<", 1, "REA", 1},
        {"sequence runs past the 32-bit range",
            "a",
            "\\1\\",
            2147483647,
            "2147483647",
            2147483648LL},
    });
}

TEST(RenameLangTest, PatternErrorsAndMessages)
{
    struct Case
    {
        const char *name;
        std::string pattern;
        RenameError error;
        std::string message;
    };
    const Case cases[] = {
        {"no digits", "<<", RenameError::MissingCount, kMissing},
        {"unclosed at the end", "<3", RenameError::Grammar, kGrammar},
        {"closed by another control", "<3>", RenameError::Grammar, kGrammar},
        {"non-digit", "<a<", RenameError::Grammar, kGrammar},
        {"control alone at the end", "abc\\", RenameError::Grammar, kGrammar},
        {"lone star in the base", "a*b", RenameError::Grammar, kGrammar},
        {"first error wins: grammar before missing", "<3>x<<", RenameError::Grammar, kGrammar},
        {"first error wins: missing before grammar", ">>x<3", RenameError::MissingCount, kMissing},
        {"largest count is fine, the next is not",
            "<2147483648<",
            RenameError::CountOutOfRange,
            "'2147483648' は整数ではありません"},
        {"message keeps the digits as typed",
            "\\00099999999999\\",
            RenameError::CountOutOfRange,
            "'00099999999999' は整数ではありません"},
        {"unclosed digits are a grammar error, not a range error",
            "<99999999999",
            RenameError::Grammar,
            kGrammar},
        {"empty pattern", "", RenameError::EmptyPattern, "新しいファイル名を入力してください。"},
        {"base errors even with a valid extension", "<3.jpg", RenameError::Grammar, kGrammar},
    };
    // The error depends on the pattern alone, whatever the name.
    const std::string names[] = {"abc.jpg", "写真12.jpg", "", "\xff\xfe"};
    for (const Case &c : cases) {
        for (const std::string &oldName : names) {
            SCOPED_TRACE(std::string(c.name) + " / " + oldName);
            std::int64_t seq = 1;
            const RenameResult r = BuildNewNameUtf8(oldName, c.pattern, seq);
            EXPECT_EQ(r.error, c.error);
            EXPECT_EQ(r.message, c.message);
            EXPECT_TRUE(r.name.empty());
            EXPECT_FALSE(isFileError(r.error));
        }
    }
}

TEST(RenameLangTest, CountLimitsAreAccepted)
{
    std::int64_t seq = 1;
    const RenameResult keep = BuildNewNameUtf8("abc.jpg", "<2147483647<", seq);
    EXPECT_EQ(keep.name, "abc.jpg");
    const RenameResult zeros = BuildNewNameUtf8("abc.jpg", "<0002147483647<", seq);
    EXPECT_EQ(zeros.name, "abc.jpg");
}

// Code page 932 bytes assembled here: 写 8E CA, 真 90 5E, 表 95 5C, ソ 83 5C, ア 83 41, ツ 83 63,
// ◯ 81 FC (the last trail byte), 黑 FC 4B (the last lead byte).
TEST(RenameLangTest, DoubleByteCharactersInCodePageBytes)
{
    const std::string sha = "\x8e\xca", shin = "\x90\x5e", hyo = "\x95\x5c", so = "\x83\x5c";
    const std::string a = "\x83\x41", tsu = "\x83\x63", maru = "\x81\xfc", koku = "\xfc\x4b";
    struct Case
    {
        const char *name;
        std::string oldName;
        std::string pattern;
        std::string expected;
        std::int64_t sequenceAfter;
    };
    const Case cases[] = {
        {"trail byte 5C in the pattern is literal", "a.jpg", hyo + "\\1\\", hyo + "1.jpg", 2},
        {"trail byte 5C before a keep group", "abc.jpg", so + "<2<", so + "ab.jpg", 1},
        {"trail byte 5C does not split the pattern", "a.jpg", "new." + hyo, "new." + hyo, 1},
        {"trail byte 5C does not split the old name",
            sha + shin + "." + hyo,
            "<4<",
            sha + shin + "." + hyo,
            1},
        {"lower case leaves trail bytes A-Z alone", a + "B.TXT", "*3*.*", a + "b.txt", 1},
        {"upper case leaves trail bytes a-z alone", tsu + "ab.txt", "?4?", tsu + "AB.txt", 1},
        {"extension case leaves double-byte characters whole",
            "x." + a + "b",
            "<1<.?",
            "x." + a + "B",
            1},
        {"pad counts bytes of a double-byte character",
            sha + ".jpg",
            "/6/",
            "0000" + sha + ".jpg",
            1},
        {"dropping half a character writes nothing of it", sha + shin + ".jpg", ">3>", ".jpg", 1},
        {"trail byte FC ends a character", maru + "b.txt", "<2<", maru + ".txt", 1},
        {"lead byte FC keeps its trail byte K", koku + ".TXT", "*2*", koku + ".TXT", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t seq = 1;
        const RenameResult r = BuildNewName(c.oldName, c.pattern, seq);
        EXPECT_EQ(r.error, RenameError::None) << r.message;
        EXPECT_EQ(r.name, c.expected);
        EXPECT_EQ(seq, c.sequenceAfter);
    }
}

TEST(RenameLangTest, RefusesNamesThatCutACharacterOrLeaveTheFolder)
{
    struct Case
    {
        const char *name;
        std::string oldName;
        std::string pattern;
        std::int64_t sequenceAfter; // all sequence groups consumed even when refused
        RenameError error = RenameError::SplitCharacter;
    };
    const Case cases[] = {
        {"keep ends inside", "写真12.jpg", "<3<", 1},
        {"keep starts inside", "写真12.jpg", ">1><3<", 1},
        {"keep starts on a trail byte", "写真12.jpg", ">3><9<", 1},
        {"lower case ends inside", "写真.jpg", "*1*", 1},
        {"upper case ends inside", "写真.jpg", "?3?", 1},
        {"pad ends inside", "写真.jpg", "/1/", 1},
        {"numbers before and after the cut are consumed", "写真.jpg", "\\1\\<1<\\1\\", 3},
        {"character outside the code page counts two", "é1.jpg", "<1<", 1},
        {"emoji counts two", "\U0001F600ab.png", ">1><2<", 1},
        {"invalid UTF-8 byte counts two",
            "\xff"
            "abc.jpg",
            "?1?",
            1},
        {"slash in a literal extension", "photo.jpg", "<9<./sub/name", 1, kForbidden},
        {"slash kept from the old name", "a/b.jpg", "<9<", 1, kForbidden},
        {"slash in the old extension", "a.b/C", "x.*", 1, kForbidden},
        {"NUL kept from the old name", std::string("a\0b.c", 5), "<3<", 1, kForbidden},
        {"NUL typed in the pattern", "a.jpg", std::string("x\0y", 3), 1, kForbidden},
        {"numbers of a name with a slash are consumed", "a.jpg", "\\1\\./x", 2, kForbidden},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t seq = 1;
        const RenameResult r = BuildNewNameUtf8(c.oldName, c.pattern, seq);
        EXPECT_EQ(r.error, c.error);
        EXPECT_TRUE(isFileError(r.error));
        EXPECT_TRUE(r.name.empty());
        EXPECT_FALSE(r.message.empty());
        EXPECT_EQ(seq, c.sequenceAfter);
    }
}

TEST(RenameLangTest, CharactersOutsideTheCodePageAndForeignBytesComeBackUnchanged)
{
    // 写 8E CA, 真 90 5E, ｱ B1, ｲ B2: names written in code page 932 bytes are not UTF-8.
    checkNames({
        {"code page name counts as its text",
            "\x8e\xca\x90\x5e"
            "12.jpg",
            ">4><2<",
            1,
            "12.jpg",
            1},
        {"code page name comes back as UTF-8",
            "\x8e\xca\x90\x5e"
            "12.jpg",
            "<4<_\\1\\",
            7,
            "写真_7.jpg",
            8},
        {"code page half-width katakana is one byte", "\xb1\xb2.JPG", "<1<.*", 1, "ｱ.jpg", 1},
        {"partly code page bytes keep the byte rule", "\x8e\xca\xff.jpg", "<2<", 1, "\x8e.jpg", 1},
        {"accented letter counts two", "é1.jpg", "<2<", 1, "é.jpg", 1},
        {"accented letter and digit", "é1.jpg", "<3<_\\2\\", 4, "é1_04.jpg", 5},
        {"emoji counts two", "\U0001F600ab.png", "<3<", 1, "\U0001F600a.png", 1},
        {"literal outside the code page in the pattern", "a.jpg", "café\\1\\", 1, "café1.jpg", 2},
        {"different foreign characters in name and pattern", "é.jpg", "ü<2<", 1, "üé.jpg", 1},
        {"several of each keep their own identity", "éàç.txt", "ñ<2<ß>2><2<", 1, "ñéßç.txt", 1},
        {"lower case leaves a foreign letter alone", "ÉCOLE.JPG", "*9*.*", 1, "École.jpg", 1},
        {"invalid UTF-8 bytes pass through", "\xff\xfe.jpg", "<2<-<2<", 1, "\xff-\xfe.jpg", 1},
        {"truncated UTF-8 sequence passes through",
            "A\xf0\x9f\x98.TXT",
            "*9*",
            1,
            "a\xf0\x9f\x98.TXT",
            1},
        {"invalid byte in the extension",
            "A.\xff"
            "B",
            "x.*",
            1,
            "x.\xff"
            "b",
            1},
        {"half-width katakana is one byte", "ｱｲｳ.jpg", "<2<", 1, "ｱｲ.jpg", 1},
    });
}

TEST(RenameLangTest, ExtensionRulesLookOnlyAtThePatternAsTyped)
{
    // A "?" arriving with the old extension, possible in names here, does not turn "*" upper.
    checkNames({
        {"question mark in the old extension", "A.B?C", "x.*", 1, "x.b?c", 1},
        {"star in the old extension", "a.b*c", "x.?", 1, "x.B*C", 1},
    });
}

TEST(RenameLangTest, HugeCountsAreRefusedInsteadOfBuildingHugeNames)
{
    struct Case
    {
        const char *name;
        std::string pattern;
        std::int64_t sequenceAfter;
        std::string oldName = "abc.jpg";
    };
    const Case cases[] = {
        {"pad", "/2147483647/", 1},
        {"one byte over the limit, no extension", "/4097/", 1, "a"},
        {"one byte over the limit with an extension", "/4093/", 1},
        {"sequence", "\\2147483647\\", 2},
        {"long literal text", std::string(kMaxNewNameBytes + 1, 'a'), 1},
        {"many groups add up",
            [] {
                std::string p;
                for (int i = 0; i < 5; ++i)
                    p += "/1000/";
                return p;
            }(),
            1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t seq = 1;
        const RenameResult r = BuildNewNameUtf8(c.oldName, c.pattern, seq);
        EXPECT_EQ(r.error, RenameError::NameTooLong);
        EXPECT_TRUE(isFileError(r.error));
        EXPECT_EQ(seq, c.sequenceAfter);
    }
    std::int64_t seq = 1;
    EXPECT_EQ(BuildNewNameUtf8("a", "/4000/", seq).name.size(), 4000u);
}

TEST(RenameLangTest, RunOverSeveralNames)
{
    struct Case
    {
        const char *name;
        std::vector<std::string> names;
        std::string pattern;
        std::int64_t start;
        std::vector<std::string> expected; // "!" marks a refused name
        std::int64_t next;
    };
    const Case cases[] = {
        {"numbers follow the order of the names",
            {"a.jpg", "b.jpg"},
            "img\\2\\",
            5,
            {"img05.jpg", "img06.jpg"},
            7},
        {"two groups per name", {"x", "y", "z"}, "\\1\\-\\1\\", 1, {"1-2", "3-4", "5-6"}, 7},
        {"a refused name keeps the others' numbers",
            {"a.jpg", "写真.jpg", "b.jpg"},
            "\\1\\<1<",
            1,
            {"1a.jpg", "!", "3b.jpg"},
            4},
        {"an unchanged name still consumes its number",
            {"a.jpg", "b.jpg"},
            "\\1\\",
            1,
            {"1.jpg", "2.jpg"},
            3},
        {"start from zero", {"a.jpg"}, "\\3\\", 0, {"000.jpg"}, 1},
        {"no names", {}, "\\1\\", 1, {}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const RenameRun run = buildNewNames(c.names, c.pattern, c.start);
        ASSERT_EQ(run.patternError, RenameError::None);
        ASSERT_EQ(run.results.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            if (c.expected[i] == "!") {
                EXPECT_EQ(run.results[i].error, RenameError::SplitCharacter);
            } else {
                EXPECT_TRUE(run.results[i].ok()) << run.results[i].message;
                EXPECT_EQ(run.results[i].name, c.expected[i]);
            }
        }
        EXPECT_EQ(run.nextSequenceNumber, c.next);
    }
}

TEST(RenameLangTest, RunStopsOnAPatternErrorBeforeAnyName)
{
    const RenameRun run = buildNewNames({"a.jpg", "b.jpg"}, "<3>", 1);
    EXPECT_EQ(run.patternError, RenameError::Grammar);
    EXPECT_EQ(run.patternMessage, kGrammar);
    EXPECT_TRUE(run.results.empty());
    const RenameRun empty = buildNewNames({"a.jpg"}, "", 1);
    EXPECT_EQ(empty.patternError, RenameError::EmptyPattern);
    EXPECT_TRUE(empty.results.empty());
}

TEST(RenameLangTest, TooManyForeignCharactersAreRefusedNotGuessed)
{
    // Beyond what the conversion can carry, a character would turn into "?", which opens a group.
    auto repeated = [](const char *s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    // Together too many, the pattern alone still readable: its numbers are consumed.
    std::int64_t seq = 1;
    const RenameResult r =
        BuildNewNameUtf8(repeated("é", 100) + ".jpg", repeated("ü", 1800) + "\\1\\", seq);
    EXPECT_EQ(r.error, RenameError::Unconvertible);
    EXPECT_TRUE(isFileError(r.error));
    EXPECT_EQ(seq, 2);
    // The pattern itself beyond the limit: every name is refused, none renamed by a guess.
    const RenameRun run = buildNewNames({"a.jpg", "b.jpg"}, repeated("é", 2000), 1);
    EXPECT_EQ(run.patternError, RenameError::None);
    ASSERT_EQ(run.results.size(), 2u);
    EXPECT_EQ(run.results[0].error, RenameError::Unconvertible);
    EXPECT_EQ(run.results[1].error, RenameError::Unconvertible);
}

TEST(RenameLangTest, ExtremeSequenceNumbersDoNotOverflow)
{
    std::int64_t seq = std::numeric_limits<std::int64_t>::max();
    const RenameResult r = BuildNewNameUtf8("a", "\\1\\", seq);
    EXPECT_EQ(r.name, "9223372036854775807");
    EXPECT_EQ(seq, std::numeric_limits<std::int64_t>::min());
}

TEST(RenameLangTest, StartNumberText)
{
    struct Case
    {
        const char *text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"1", 1},
        {"0", 0},
        {"0005", 5},
        {"-5", -5},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1a", std::nullopt},
        {"１", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseStartNumber(c.text), c.expected);
    }
    EXPECT_EQ(notIntegerMessage("abc"), "'abc' は整数ではありません");
}
