// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli rename, run as a separate process exactly as a user would run it.
#include "support/clirun.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
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

// Runs each case in `folder` when given (the folder its bare names live in).
void check(const std::vector<Case> &cases, const std::string &folder = {})
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"rename"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = runCli(args, 0, folder);
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

TEST(RenameCliTest, DryRunMarksConflictsInTheFolder)
{
    const morvane::test::ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    for (const char *f : {"p1.jpg", "a.jpg", "b.jpg"})
        std::ofstream(scratch.path() + "/" + f) << f;
    ASSERT_TRUE(std::filesystem::create_directory(scratch.path() + "/dir.jpg"));
    const std::string taken = "\tフォルダーに同じ名前のものがあります\n";
    const std::string same = "\tほかのファイルも同じ名前になります\n";
    const std::string caseOnly = "\t大文字と小文字だけが違う名前があります\n";
    check(
        {
            {"taken by a file not renamed",
                {"--pattern", "p\\1\\", "a.jpg", "b.jpg"},
                "p1.jpg" + taken + "p2.jpg\n",
                0},
            {"taken by the unchanged name of the run",
                {"--pattern", "<1<", "a.jpg", "ab.jpg"},
                "a.jpg\na.jpg" + taken,
                0},
            {"taken by a folder", {"--pattern", "dir", "a.jpg"}, "dir.jpg" + taken, 0},
            {"two names alike",
                {"--pattern", "n", "a.jpg", "b.jpg"},
                "n.jpg" + same + "n.jpg" + same,
                0},
            {"letter case only", {"--pattern", "P\\1\\", "a.jpg"}, "P1.jpg" + caseOnly, 0},
            {"a chain behind a taken name",
                {"--pattern", ">1><9<", "xa.jpg", "ya.jpg", "zya.jpg"},
                "a.jpg" + taken + "a.jpg" + taken
                    + "ya.jpg\t「ya.jpg」は名前を変えられずに残るため使えません\n",
                0},
            {"names the run frees",
                {"--pattern", "p\\1\\", "--start", "2", "p1.jpg", "a.jpg"},
                "p2.jpg\np3.jpg\n",
                0},
        },
        scratch.path());
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

namespace {

// The files of `folder` with their contents, by name.
std::map<std::string, std::string> filesIn(const std::string &folder)
{
    std::map<std::string, std::string> out;
    for (const auto &e : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        out[e.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return out;
}

struct ApplyCase
{
    const char *name;
    std::vector<std::string> files; // made first, each holding its own name
    std::vector<std::string> options; // before the paths
    std::vector<std::string> named; // the files named on the command line, in that order
    std::string out;
    int status;
    std::map<std::string, std::string> after; // name -> contents
};

} // namespace

TEST(RenameCliTest, ApplyRenamesThroughTheFileOperations)
{
    std::vector<std::string> file4To13;
    for (int i = 4; i <= 13; ++i)
        file4To13.push_back("file" + std::to_string(i));
    const std::vector<ApplyCase> cases = {
        {"numbers run on across files",
            {"a.jpg", "b.jpg"},
            {"--pattern", "img\\2\\", "--start", "5", "--apply"},
            {"a.jpg", "b.jpg"},
            "img05.jpg\nimg06.jpg\n",
            0,
            {{"img05.jpg", "a.jpg"}, {"img06.jpg", "b.jpg"}}},
        {"names the run frees are taken in an order that works",
            {"1.jpg", "2.jpg", "3.jpg"},
            {"--apply", "--pattern", "\\1\\", "--start", "2"},
            {"1.jpg", "2.jpg", "3.jpg"},
            "2.jpg\n3.jpg\n4.jpg\n",
            0,
            {{"2.jpg", "1.jpg"}, {"3.jpg", "2.jpg"}, {"4.jpg", "3.jpg"}}},
        {"file4..13 become file1..10",
            file4To13,
            {"--apply", "--pattern", "file\\1\\", "--start", "1"},
            file4To13,
            "file1\nfile2\nfile3\nfile4\nfile5\nfile6\nfile7\nfile8\nfile9\nfile10\n",
            0,
            {{"file1", "file4"},
                {"file2", "file5"},
                {"file3", "file6"},
                {"file4", "file7"},
                {"file5", "file8"},
                {"file6", "file9"},
                {"file7", "file10"},
                {"file8", "file11"},
                {"file9", "file12"},
                {"file10", "file13"}}},
        {"a name held outside the run is refused, never replaced",
            {"1.jpg", "2.jpg", "3.jpg"},
            {"--apply", "--pattern", "\\1\\", "--start", "2"},
            {"1.jpg", "2.jpg"},
            "2.jpg\n3.jpg\n",
            1,
            {{"1.jpg", "1.jpg"}, {"2.jpg", "2.jpg"}, {"3.jpg", "3.jpg"}}},
        {"two files given one name: the second keeps its own",
            {"a.jpg", "b.jpg"},
            {"--apply", "--pattern", "x"},
            {"a.jpg", "b.jpg"},
            "x.jpg\nx.jpg\n",
            1,
            {{"x.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}}},
        {"a case-only change is a rename",
            {"A.JPG"},
            {"--apply", "--pattern", "*9*.*"},
            {"A.JPG"},
            "a.jpg\n",
            0,
            {{"a.jpg", "A.JPG"}}},
        {"an unchanged name needs no rename",
            {"a.jpg"},
            {"--apply", "--pattern", "<9<"},
            {"a.jpg"},
            "a.jpg\n",
            0,
            {{"a.jpg", "a.jpg"}}},
        {"a missing file fails, the others go on",
            {"b.jpg"},
            {"--apply", "--pattern", "n\\1\\"},
            {"gone.jpg", "b.jpg"},
            "n1.jpg\nn2.jpg\n",
            1,
            {{"n2.jpg", "b.jpg"}}},
        {"a name ending in a slash is refused before anything",
            {"a.jpg"},
            {"--apply", "--pattern", "x"},
            {"a.jpg", ""},
            "",
            2,
            {{"a.jpg", "a.jpg"}}},
        {"a missing file fails even when its name would not change",
            {"a.jpg"},
            {"--apply", "--pattern", "<9<"},
            {"gone.jpg"},
            "gone.jpg\n",
            1,
            {{"a.jpg", "a.jpg"}}},
        {"without --apply nothing is touched",
            {"a.jpg"},
            {"--pattern", "x"},
            {"a.jpg"},
            "x.jpg\n",
            0,
            {{"a.jpg", "a.jpg"}}},
    };
    for (const ApplyCase &c : cases) {
        SCOPED_TRACE(c.name);
        const morvane::test::ScratchFolder dir;
        ASSERT_FALSE(dir.path().empty());
        for (const std::string &f : c.files)
            std::ofstream(dir.path() + "/" + f, std::ios::binary) << f;
        std::vector<std::string> args = {"rename"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.emplace_back("--");
        for (const std::string &f : c.named)
            args.push_back(dir.path() + "/" + f);
        const Outcome o = runCli(args);
        EXPECT_EQ(o.out, c.out);
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_EQ(o.status == 0, o.err.empty()) << o.err;
        EXPECT_EQ(filesIn(dir.path()), c.after);
    }
}
