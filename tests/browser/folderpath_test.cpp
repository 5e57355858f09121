// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folderpath.h"

#include <gtest/gtest.h>

using morvane::browser::deriveFolderPath;
using morvane::browser::filePath;

namespace {

TEST(FolderPathTest, DerivesFolderPathFromTheTree)
{
    struct Case
    {
        const char *name;
        const char *reported;
        const char *display;
        const char *expected;
    };
    const Case cases[] = {
        {"root of the system drive", "/", "コンピューター", "/"},
        {"absolute path under a localised name",
            "/home/u/Desktop",
            "デスクトップ",
            "/home/u/Desktop"},
        {"absolute path under its own name", "/home/u/Pictures", "Pictures", "/home/u/Pictures"},
        {"node without a path", "", "ネットワーク", ""},
        {"no separator at all", "abcd", "Other", "abcd"},
        {"three characters are kept", "a/b", "B", "a/b"},
        {"three characters of several bytes are kept", "あ/い", "x", "あ/い"},
        {"four characters get the display text", "あい/う", "x", "あい/う/x"},
        {"longer relative path gets the display text", "ab/cd", "Docs", "ab/cd/Docs"},
        {"same last component keeps the path", "ab/cd", "cd", "ab/cd"},
        {"letter case counts", "ab/cd", "CD", "ab/cd/CD"},
        {"empty display text after a trailing separator", "abc/", "", "abc/"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deriveFolderPath(c.reported, c.display), c.expected);
    }
}

TEST(FolderPathTest, JoinsFilePaths)
{
    struct Case
    {
        const char *folder;
        const char *name;
        const char *expected;
    };
    const Case cases[] = {
        {"/home/u/pics", "a.jpg", "/home/u/pics/a.jpg"},
        {"/", "a.jpg", "/a.jpg"},
        {"", "a.jpg", "/a.jpg"},
        {"/home/u/pics", "写真 1.JPG", "/home/u/pics/写真 1.JPG"},
        {"/mnt/usb/", "x", "/mnt/usb/x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
        EXPECT_EQ(filePath(c.folder, c.name), c.expected);
    }
}

} // namespace
