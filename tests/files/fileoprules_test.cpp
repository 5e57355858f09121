// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/fileoprules.h"

#include <gtest/gtest.h>
#include <string_view>

using namespace std::literals;
using namespace morvane::files;

namespace {

TEST(FileOpRulesTest, ChecksNewNames)
{
    struct Case
    {
        std::string_view name;
        NameProblem expected;
    };
    const Case cases[] = {
        {"IMG_0001.JPG", NameProblem::None},
        {"写真 1.jpg", NameProblem::None},
        {"..hidden", NameProblem::None},
        {"", NameProblem::Empty},
        {".", NameProblem::DotName},
        {"..", NameProblem::DotName},
        {"a/b.jpg", NameProblem::Separator},
        {"/", NameProblem::Separator},
        {"a\0b"sv, NameProblem::Nul},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(checkNewName(c.name), c.expected);
    }
}

TEST(FileOpRulesTest, SplitsAndJoinsNativePaths)
{
    struct Case
    {
        std::string_view path, last, parent;
    };
    const Case cases[] = {
        {"/a/b.jpg", "b.jpg", "/a"},
        {"/a/dir//", "dir", "/a"},
        {"/x", "x", "/"},
        {"/", "", "/"},
        {"name", "name", "."},
        {"/a//b", "b", "/a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.path));
        EXPECT_EQ(lastComponent(c.path), c.last);
        EXPECT_EQ(parentOf(c.path), c.parent);
    }
    EXPECT_EQ(joinPath("/", "a"), "/a");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
}

TEST(FileOpRulesTest, TellsWhatLiesInsideAFolder)
{
    struct Case
    {
        std::string_view folder, path;
        bool inside;
    };
    const Case cases[] = {
        {"/p/a", "/p/a", true},
        {"/p/a", "/p/a/b/c", true},
        {"/p/a/", "/p/a/b", true},
        {"/p/a", "/p/ab", false}, // a sibling that starts with the same letters
        {"/p/a", "/p", false},
        {"/", "/anything", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " " + std::string(c.path));
        EXPECT_EQ(isSameOrInside(c.folder, c.path), c.inside);
    }
}

TEST(FileOpRulesTest, KnowsOnlyItsOwnTemporaryNames)
{
    struct Case
    {
        std::string_view name;
        bool temporary;
    };
    const Case cases[] = {
        {".morvane-a1b2c3d4.part", true},
        {".morvane-a1b2c3d.part", false}, // one letter short
        {".morvane-a1b2c3d4e.part", false},
        {".morvane-A1B2C3D4.part", false}, // capitals are never made
        {".morvane-a1b2c3d4.jpg", false},
        {".morvane-notes.txt", false}, // a user's file of the same start
        {"morvane-a1b2c3d4.part", false},
        {".morvane-a1b2/3d4.part", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(isTemporaryName(c.name), c.temporary);
    }
}

TEST(FileOpRulesTest, KnowsTheFoldersOfATrash)
{
    EXPECT_TRUE(isInTrashFiles("/home/u/.local/share/Trash/files/a.jpg"));
    EXPECT_TRUE(isInTrashFiles("/media/card/.Trash-1000/files/DCIM"));
    EXPECT_TRUE(isInTrashFiles("/media/card/.Trash/1000/files/a.jpg"));
    EXPECT_FALSE(isInTrashFiles("/home/u/build/files/a.jpg")); // a working folder's "files"
    EXPECT_FALSE(isInTrashFiles("/media/card/x/1000/files/a.jpg"));
    EXPECT_FALSE(isInTrashFiles("/home/u/.local/share/Trash/info/a.jpg"));
    EXPECT_FALSE(isInTrashFiles("/media/card/.Trash-/files/a.jpg")); // no uid
    EXPECT_FALSE(isInTrashFiles("/media/card/.Trash-old/files/a.jpg")); // a uid is digits
}

TEST(FileOpRulesTest, DecidesEachItem)
{
    using K = EntryKind;
    using S = ItemStep;
    struct Case
    {
        const char *name;
        ItemFacts facts;
        ItemStep expected;
    };
    const Case cases[] = {
        {"free target", {K::File, K::Missing, false, false}, S::Proceed},
        {"file over file", {K::File, K::File, false, false}, S::AskReplace},
        {"source gone", {K::Missing, K::File, false, false}, S::RefuseMissing},
        {"onto itself", {K::File, K::File, true, false}, S::RefuseSameEntry},
        {"folder onto itself", {K::Folder, K::Folder, true, true}, S::RefuseSameEntry},
        {"folder into itself", {K::Folder, K::Missing, false, true}, S::RefuseIntoItself},
        {"folder onto folder", {K::Folder, K::Folder, false, false}, S::Merge},
        {"folder over file", {K::Folder, K::File, false, false}, S::RefuseFolderOverFile},
        {"file over folder", {K::File, K::Folder, false, false}, S::RefuseFileOverFolder},
        {"fifo", {K::Special, K::Missing, false, false}, S::RefuseSpecial},
        {"file over fifo", {K::File, K::Special, false, false}, S::AskReplace},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decideTransfer(c.facts), c.expected);
    }
}

TEST(FileOpRulesTest, YesToAllIsRememberedForTheRequest)
{
    ReplaceConsent consent;
    EXPECT_EQ(consent.take(ReplaceAnswer::No), ReplaceStep::Skip);
    EXPECT_EQ(consent.take(ReplaceAnswer::Yes), ReplaceStep::Replace);
    EXPECT_TRUE(consent.needsQuestion());
    EXPECT_EQ(consent.take(ReplaceAnswer::YesToAll), ReplaceStep::Replace);
    EXPECT_FALSE(consent.needsQuestion());
    EXPECT_EQ(ReplaceConsent().take(ReplaceAnswer::Cancel), ReplaceStep::Stop);
}

} // namespace
