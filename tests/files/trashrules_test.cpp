// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/trashrules.h"

#include <gtest/gtest.h>

using namespace morvane::files;

namespace {

TEST(TrashRulesTest, WritesInfoWithEncodedPath)
{
    struct Case
    {
        std::string path, topdir, pathLine;
    };
    const Case cases[] = {
        {"/home/u/a.jpg", "", "Path=/home/u/a.jpg"},
        {"/home/u/caf\xe9 1.jpg", "", "Path=/home/u/caf%E9%201.jpg"},
        {"/home/u/写.jpg", "", "Path=/home/u/%E5%86%99.jpg"},
        {"/m/a%b#c?\\;=\n.jpg", "", "Path=/m/a%25b%23c%3F%5C%3B%3D%0A.jpg"},
        {"/m/-_.!~*'().jpg", "", "Path=/m/-_.!~*'().jpg"},
        {"/media/card/DCIM/a.jpg", "/media/card", "Path=DCIM/a.jpg"},
        {"/media/card/DCIM/a.jpg", "/media/card/", "Path=DCIM/a.jpg"},
        {"/tmp/a.jpg", "/", "Path=tmp/a.jpg"},
        {"/media/cardx/a.jpg", "/media/card", "Path=/media/cardx/a.jpg"}, // not below it
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(trashInfoText(trashInfoPath(c.path, c.topdir), {2004, 8, 31, 2, 3, 8}),
            "[Trash Info]\n" + c.pathLine + "\nDeletionDate=2004-08-31T02:03:08\n");
    }
}

TEST(TrashRulesTest, ChoosesNamesThatFit)
{
    const std::string kana = "\xe3\x81\x82"; // one character, three bytes
    struct Case
    {
        std::string name;
        int attempt;
        std::size_t max;
        std::string expected;
    };
    const Case cases[] = {
        {"a.jpg", 0, 245, "a.jpg"},
        {"a.jpg", 1, 245, "a.2.jpg"},
        {"a.tar.gz", 9, 245, "a.tar.10.gz"},
        {".hidden", 1, 245, ".hidden.2"},
        {"noext", 2, 245, "noext.3"},
        {std::string(246, 'n'), 0, 245, std::string(245, 'n')},
        {std::string(242, 'n') + ".jpg", 0, 245, std::string(241, 'n') + ".jpg"},
        {std::string(242, 'n') + ".jpg", 1, 245, std::string(239, 'n') + ".2.jpg"},
        {"ab" + kana + kana + ".jpg", 0, 10, "ab" + kana + ".jpg"}, // never half a character
        {"abcdefghij.longextension", 0, 10, "abcdefghij"}, // the extension goes, not the stem
        {std::string(20, 'x') + ".jpeg", 99, 12, "xxxxxxxx.100"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name + " #" + std::to_string(c.attempt));
        const std::string got = trashEntryName(c.name, c.attempt, c.max);
        EXPECT_EQ(got, c.expected);
        EXPECT_LE(got.size(), c.max);
    }
}

TEST(TrashRulesTest, ChecksVolumeTrashFolders)
{
    const TrashFolderFacts missing {};
    const TrashFolderFacts sticky {true, true, false, true, 0};
    const TrashFolderFacts plain {true, true, false, false, 1000};
    const TrashFolderFacts link {true, false, true, true, 1000};
    const TrashFolderFacts file {true, false, false, false, 1000};
    const TrashFolderFacts other {true, true, false, false, 1001};
    struct Case
    {
        const char *name;
        TrashFolderFacts facts;
        TrashFolderState state; // as a user's folder of uid 1000
        std::vector<std::string> trashes; // as "/m/.Trash"
    };
    const Case cases[] = {
        {"missing", missing, TrashFolderState::Missing, {"/m/.Trash-1000"}},
        {"sticky folder of root",
            sticky,
            TrashFolderState::Unsafe,
            {"/m/.Trash/1000", "/m/.Trash-1000"}},
        {"no sticky bit", plain, TrashFolderState::Usable, {"/m/.Trash-1000"}},
        {"link", link, TrashFolderState::Unsafe, {"/m/.Trash-1000"}},
        {"file", file, TrashFolderState::Unsafe, {"/m/.Trash-1000"}},
        {"another user's", other, TrashFolderState::Unsafe, {"/m/.Trash-1000"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(checkUserTrashFolder(c.facts, 1000), c.state);
        EXPECT_EQ(topdirTrashFolders("/m", 1000, c.facts), c.trashes);
    }
}

} // namespace
