// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli rename, run as a separate process exactly as a user would run it.
#include "support/clirun.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Outcome = morvane::test::CliResult;
using morvane::test::runCli;

const std::string kForbidden =
    "error\t新しいファイル名に「/」または NUL 文字が含まれるため、このファイル"
    "の名前は変更しません。\n";

struct Case
{
    const char *name;
    std::vector<std::string> args;
    std::string out;
    int status;
};

void check(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"rename"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = runCli(args);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.out, c.out);
    }
}

} // namespace

TEST(RenameCliTest, WorkedExamples)
{
    check({
        {"sequence", {"--pattern", "photo\\3\\", "IMG_0012.JPG"}, "photo001.JPG\n", 0},
        {"drop keep lower", {"--pattern", ">4>x<4<.*", "IMG_0012.JPG"}, "x0012.jpg\n", 0},
        {"pad", {"--pattern", "<3</4/", "DSC1.jpg"}, "DSC0001.jpg\n", 0},
        {"upper", {"--pattern", "?1?<9<", "abc.txt"}, "Abc.txt\n", 0},
        {"kanji count two", {"--pattern", ">4><2<", "写真12.jpg"}, "12.jpg\n", 0},
        {"one kanji", {"--pattern", "img<2<", "写真12.jpg"}, "img写.jpg\n", 0},
        {"lower base upper ext", {"--pattern", "*9*.?", "Photo.JPEG"}, "photo.JPEG\n", 0},
        {"literal", {"--pattern", "new.png", "Photo.jpeg"}, "new.png\n", 0},
        {"two groups", {"--pattern", "\\2\\_\\2\\", "abc.jpg"}, "01_02.jpg\n", 0},
        {"start 98", {"--pattern", "<2<-\\4\\", "--start", "98", "12345.jpg"}, "12-0098.jpg\n", 0},
        {"count zero", {"--start", "123", "--pattern", "\\0\\", "x.jpg"}, "123.jpg\n", 0},
        {"pad single", {"--pattern", "/3/", "x.jpg"}, "00x.jpg\n", 0},
        {"dot literal", {"--pattern", "x.\\1\\", "--start", "7", "a.jpg"}, "x.7.jpg\n", 0},
        {"unchanged", {"--pattern", "<99<", "a.jpg"}, "a.jpg\n", 0},
        {"cursor past end", {"--pattern", ">5><2<z", "ab.jpg"}, "z.jpg\n", 0},
        {"no old extension", {"--pattern", "<2<.*", "readme"}, "re\n", 0},
        {"missing count", {"--pattern", "<<", "abc.jpg"}, "error\t桁数がありません。\n", 1},
        {"grammar end",
            {"--pattern", "<3", "abc.jpg"},
            "error\t閉じる<>\\*?/文法が違います。\n",
            1},
        {"grammar other",
            {"--pattern", "<3>", "abc.jpg"},
            "error\t閉じる<>\\*?/文法が違います。\n",
            1},
        {"grammar digit",
            {"--pattern", "<a<", "abc.jpg"},
            "error\t閉じる<>\\*?/文法が違います。\n",
            1},
        {"range",
            {"--pattern", "<2147483648<", "abc.jpg"},
            "error\t'2147483648' は整数ではありません\n",
            1},
    });
}

TEST(RenameCliTest, RunsOverSeveralNames)
{
    check({
        {"numbers run on",
            {"--pattern", "img\\2\\", "--start", "5", "a.jpg", "b.jpg"},
            "img05.jpg\nimg06.jpg\n",
            0},
        {"default start is 1", {"--pattern", "\\1\\", "a", "b", "c"}, "1\n2\n3\n", 0},
        {"negative start", {"--pattern", "\\4\\", "--start", "-5", "a.jpg"}, "00-5.jpg\n", 0},
        {"a refused name does not stop the run",
            {"--pattern", "\\1\\<3<", "ab.jpg", "写真.jpg", "cd.jpg"},
            "1ab.jpg\nerror\t新しいファイル名で全角文字が途中で切れるため、このファイルの名前は変更"
            "しません。\n3cd.jpg\n",
            1},
        {"a name that would leave its folder is refused, the run goes on",
            {"--pattern", "<9<", "a.jpg", "sub/b.jpg", "c.jpg"},
            "a.jpg\n" + kForbidden + "c.jpg\n",
            1},
        {"a literal extension holding a slash",
            {"--pattern", "<9<./sub/name", "photo.jpg"},
            kForbidden,
            1},
        {"pattern error once, not per name",
            {"--pattern", "<3>", "a", "b"},
            "error\t閉じる<>\\*?/文法が違います。\n",
            1},
        {"start that is no integer",
            {"--pattern", "\\1\\", "--start", "1x", "a"},
            "error\t'1x' は整数ではありません\n",
            1},
        {"empty start runs from zero",
            {"--pattern", "\\1\\", "--start", "", "a", "b"},
            "0\n1\n",
            0},
        {"empty pattern",
            {"--pattern", "", "a"},
            "error\t新しいファイル名を入力してください。\n",
            1},
        {"names after -- may look like options",
            {"--pattern", "<9<x", "--", "--start", "-a"},
            "--startx\n-ax\n",
            0},
    });
}

TEST(RenameCliTest, NamesOfThisPlatform)
{
    check({
        {"not UTF-8", {"--pattern", "<2<_<2<", "\xff\xfe.jpg"}, "\xff_\xfe.jpg\n", 0},
        {"outside the code page", {"--pattern", "*9*.*", "ÉCOLE.JPG"}, "École.jpg\n", 0},
        {"control characters are shown escaped",
            {"--pattern", "<9<", "a\nb\x1b[31m.txt"},
            "a\\x0Ab\\x1B[31m.txt\n",
            0},
        {"trail byte of a kanji is no control character",
            {"--pattern", "表\\1\\", "a.jpg"},
            "表1.jpg\n",
            0},
    });
}

TEST(RenameCliTest, BadUsage)
{
    const std::vector<std::vector<std::string>> cases = {
        {"rename"},
        {"rename", "a.jpg"},
        {"rename", "--pattern"},
        {"rename", "--pattern", "x"},
        {"rename", "--pattern", "x", "--start"},
        {"rename", "--pattern", "x", "--bogus", "a"},
    };
    for (const auto &args : cases) {
        SCOPED_TRACE(args.back());
        const Outcome o = runCli(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.out.empty());
        EXPECT_NE(o.err.find("usage"), std::string::npos);
    }
}
