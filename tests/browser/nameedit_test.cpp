// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/nameedit.h"

#include <gtest/gtest.h>

using morvane::browser::editedName;

namespace {

TEST(NameEditTest, KeepsTheBytesTheUserDidNotChange)
{
    struct Case
    {
        const char *name;
        std::string oldName; // bytes
        std::string caption; // as the list shows it
        std::string typed;
        std::string bytes; // expected
        bool exact;
    };
    const std::string r = "\xEF\xBF\xBD"; // U+FFFD
    const std::string sha = "\x8E\xCA\x90\x5E"; // 写真 in CP932
    const Case cases[] = {
        {"UTF-8 takes the text", "a.jpg", "a.jpg", "写真.jpg", "写真.jpg", true},
        {"appended after a Latin-1 byte",
            "caf\xE9.bmp",
            "caf" + r + ".bmp",
            "caf" + r + "_y.bmp",
            "caf\xE9_y.bmp",
            true},
        {"typed before it",
            "caf\xE9.bmp",
            "caf" + r + ".bmp",
            "Xcaf" + r + ".bmp",
            "Xcaf\xE9.bmp",
            true},
        {"the unreadable byte replaced",
            "caf\xE9.bmp",
            "caf" + r + ".bmp",
            "cafe.bmp",
            "cafe.bmp",
            true},
        {"the unreadable byte deleted",
            "caf\xE9.bmp",
            "caf" + r + ".bmp",
            "caf.bmp",
            "caf.bmp",
            true},
        {"between two unreadable bytes",
            "\xE9"
            "a\xE9.x",
            r + "a" + r + ".x",
            r + "b" + r + ".x",
            "\xE9"
            "b\xE9.x",
            true},
        {"a U+FFFD in the changed part",
            "caf\xE9.bmp",
            "caf" + r + ".bmp",
            "caf" + r + r + ".bmp",
            "caf" + r + r + ".bmp",
            false},
        {"CP932 edited in CP932", sha + ".jpg", "写真.jpg", "写真_y.jpg", sha + "_y.jpg", true},
        {"CP932 cannot hold the typed text",
            sha + ".jpg",
            "写真.jpg",
            "写真\xE2\x98\x83.jpg",
            "写真\xE2\x98\x83.jpg",
            false},
        {"a caption read otherwise", "caf\xE9.bmp", "cafe.bmp", "cafe_y.bmp", "cafe_y.bmp", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto edit = editedName(c.oldName, c.caption, c.typed);
        EXPECT_EQ(edit.bytes, c.bytes);
        EXPECT_EQ(edit.exact, c.exact);
    }
}

} // namespace
