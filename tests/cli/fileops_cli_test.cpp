// SPDX-License-Identifier: GPL-3.0-or-later
// Runs morvane-cli copy, move, trash and rename-file on files made here: no question is asked,
// no existing file is replaced, and the exit status says whether every file was done.
#include "support/clirun.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using morvane::test::runCli;

// The scratch folder's files (the trash's info files and the undo journal left out, and the
// whole trash unless `withTrash`) as "path=content", sorted.
std::string state(const std::string &root, bool withTrash = true)
{
    std::vector<std::string> lines;
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        const std::string path = e.path().lexically_relative(root).string();
        if (!e.is_regular_file() || path.rfind("data/Trash/info", 0) == 0
            || path.rfind("state/", 0) == 0 || (!withTrash && path.rfind("data/", 0) == 0))
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        lines.push_back(path + "=" + std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string &l : lines)
        out += (out.empty() ? "" : " ") + l;
    return out;
}

TEST(FileOpsCliTest, NeverReplacesAndTellsWhetherAllWasDone)
{
    const std::string kStart = "dst/b.jpg=B2 src/a.jpg=A src/b.jpg=B src/caf\xe9.jpg=C";
    struct Case
    {
        const char *name;
        std::vector<std::string> args; // "$" stands for the scratch folder
        int status;
        std::string after;
        const char *stderrHas;
        std::string dataHome = "$/data"; // the trash's data folder (XDG_DATA_HOME)
        bool goneWorkingFolder = false; // run in a working folder removed beforehand
    };
    // clang-format off
    const Case cases[] = {
        {"copy", {"copy", "$/src/a.jpg", "$/dst"}, 0, "dst/a.jpg=A " + kStart, ""},
        {"copy skips an existing target", {"copy", "$/src/a.jpg", "$/src/b.jpg", "$/dst"}, 1, "dst/a.jpg=A " + kStart, "b.jpg」は既にあるため"},
        {"move", {"move", "$/src/a.jpg", "$/dst/"}, 0, "dst/a.jpg=A dst/b.jpg=B2 src/b.jpg=B src/caf\xe9.jpg=C", ""},
        {"move skips an existing target", {"move", "$/src/b.jpg", "$/dst"}, 1, kStart, "スキップ"},
        {"trash", {"trash", "$/src/a.jpg"}, 0, "data/Trash/files/a.jpg=A dst/b.jpg=B2 src/b.jpg=B src/caf\xe9.jpg=C", ""},
        {"trash a name that is not UTF-8", {"trash", "$/src/caf\xe9.jpg"}, 0, "data/Trash/files/caf\xe9.jpg=C dst/b.jpg=B2 src/a.jpg=A src/b.jpg=B", ""},
        {"trash when no trash can be made keeps the file", {"trash", "$/src/b.jpg"}, 1, kStart, "完全に削除しますか", "$/src/a.jpg/data"},
        {"trash a missing file", {"trash", "$/src/gone", "$/src/a.jpg"}, 1, "data/Trash/files/a.jpg=A dst/b.jpg=B2 src/b.jpg=B src/caf\xe9.jpg=C", "見つかりません"},
        {"rename-file", {"rename-file", "$/src/a.jpg", "c.jpg"}, 0, "dst/b.jpg=B2 src/b.jpg=B src/c.jpg=A src/caf\xe9.jpg=C", ""},
        {"rename-file onto an existing name", {"rename-file", "$/src/a.jpg", "b.jpg"}, 1, kStart, "既にあります"},
        {"rename-file to a name with a slash", {"rename-file", "$/src/a.jpg", "../a.jpg"}, 1, kStart, "「/」"},
        {"copy without a destination", {"copy", "$/src/a.jpg"}, 2, kStart, "usage"},
        {"copy to a file", {"copy", "$/src/a.jpg", "$/src/b.jpg"}, 2, kStart, "not a folder"},
        {"rename-file without a name", {"rename-file", "$/src/a.jpg"}, 2, kStart, "usage"},
        {"trash without a path", {"trash"}, 2, kStart, "usage"},
        {"trash an empty path", {"trash", ""}, 2, kStart, "空のパス"},
        {"move an empty path", {"move", "", "$/dst"}, 2, kStart, "空のパス"},
        {"copy to an empty folder", {"copy", "$/src/a.jpg", ""}, 2, kStart, "空のパス"},
        {"rename-file in a removed working folder", {"rename-file", "victim", "renamed"}, 2, kStart, "作業フォルダー", "$/data", true},
        {"copy into a removed working folder", {"copy", "$/src/a.jpg", "."}, 2, kStart, "作業フォルダー", "$/data", true},
        {"move a link to a folder named with a slash", {"move", "$/lnk/", "$/dst"}, 1, kStart, "シンボリックリンク"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        morvane::test::ScratchFolder scratch;
        const std::string root = scratch.path();
        ASSERT_FALSE(root.empty());
        fs::create_directories(root + "/src");
        fs::create_directories(root + "/dst");
        fs::create_directory_symlink("src", root + "/lnk");
        for (const auto &[name, content] : {std::pair {"src/a.jpg", "A"},
                 {"src/b.jpg", "B"},
                 {"src/caf\xe9.jpg", "C"},
                 {"dst/b.jpg", "B2"}})
            std::ofstream(root + "/" + name, std::ios::binary) << content;
        std::vector<std::string> args = c.args;
        args.push_back(c.dataHome);
        for (std::string &a : args) {
            if (a.rfind("$", 0) == 0)
                a = root + a.substr(1);
        }
        setenv("XDG_DATA_HOME", args.back().c_str(), 1);
        setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
        args.pop_back();
        // Run inside the scratch folder, so that a path resolved against the working folder
        // shows in its state and harms nothing else.
        const fs::path home = fs::current_path();
        fs::create_directory(root + "/gone");
        fs::current_path(root + (c.goneWorkingFolder ? "/gone" : "/src"));
        fs::remove(root + "/gone");
        const auto r = runCli(args);
        fs::current_path(home);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << r.err;
        EXPECT_EQ(r.err.empty(), *c.stderrHas == '\0') << r.err;
        EXPECT_EQ(state(root), c.after);
        // The journal's names as the rest shows them: a byte that is not UTF-8 escaped.
        const auto list = runCli({"undo", "--list"});
        EXPECT_EQ(list.out.find("caf\xe9"), std::string::npos) << list.out;
        // Undo, in a process of its own, puts back whatever was done: copies go to the trash.
        const auto undo = runCli({"undo"});
        EXPECT_EQ(undo.status, c.after == kStart ? 1 : 0) << undo.out << undo.err;
        EXPECT_EQ(state(root, false), kStart);
    }
}

} // namespace
