// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/renamepreview.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace morvane::organise;

namespace {

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

TEST(RenamePreviewTest, MarksWhatWillNotComeOutAsTyped)
{
    struct Case
    {
        const char *name;
        std::string others; // other names of the folder, not in the run
        std::string olds; // the run's files (also names of the folder)
        std::string pattern;
        std::string marks; // one per file: F free, U unchanged, R refused, T taken in the
                           // folder, S same name in the run, C case-only clash, B blocked
                           // by a file of the run that keeps its name
        std::string text; // the text of the first marked row
    };
    // clang-format off
    const Case cases[] = {
        {"free names", "x.jpg", "a.jpg b.jpg", "p\\1\\", "FF", ""},
        {"unchanged", "", "a.jpg b.jpg", "<9<", "UU", "変更なし"},
        {"taken by a file not in the run", "p1.jpg", "a.jpg b.jpg", "p\\1\\", "TF", "フォルダーに同じ名前のものがあります"},
        {"taken by a folder", "p2.jpg", "a.jpg b.jpg", "p\\1\\", "FT", "フォルダーに同じ名前のものがあります"},
        {"two files get one name", "", "a.jpg b.jpg c.jpg", "new", "SSS", "ほかのファイルも同じ名前になります"},
        {"case only against the folder", "P1.JPG", "a.jpg", "p\\1\\", "C", "大文字と小文字だけが違う名前があります"},
        {"case only within the run", "", "a.JPG b.jpg", "x", "CC", "大文字と小文字だけが違う名前があります"},
        {"own case change is free", "", "A.JPG", "*9*.*", "F", ""},
        {"name freed by the run is free", "", "2.jpg 3.jpg", "\\1\\", "FF", ""},
        {"swap frees both names", "", "2.jpg 1.jpg", "\\1\\", "FF", ""},
        {"unchanged file keeps its name", "", "a.jpg ab.jpg", "<1<", "UT", "変更なし"},
        {"refused file keeps its name", "", "a.jpg 写.jpg", "<1<", "UR", "変更なし"},
        {"slash refused with its message", "", "a.jpg", "<9<.x/y", "R", "新しいファイル名に「/」または NUL 文字が含まれるため、このファイルの名前は変更しません。"},
        {"cut double-byte character", "", "写真.jpg", "<1<", "R", "新しいファイル名で全角文字が途中で切れるため、このファイルの名前は変更しません。"},
        {"pattern error on every row", "", "a.jpg b.jpg", "<3>", "RR", "閉じる<>\\*?/文法が違います。"},
        {"a chain behind a taken name", "photo1.jpg", "photo2.jpg photo3.jpg photo4.jpg photo5.jpg", "photo\\1\\", "TBBB", "フォルダーに同じ名前のものがあります"},
        {"a chain behind a refused file", "", "aa写x.jpg a写x.jpg 写x.jpg", ">1><9<", "BTR", "「a写x.jpg」は名前を変えられずに残るため使えません"},
        {"a chain behind the second of a shared name", "", "xa.jpg ya.jpg zya.jpg", ">1><9<", "SSB", "ほかのファイルも同じ名前になります"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> olds = words(c.olds);
        std::vector<std::string> folder = words(c.others);
        folder.insert(folder.end(), olds.begin(), olds.end());
        const RenameRun run = buildNewNames(olds, c.pattern, 1);
        const std::vector<PreviewRow> rows = previewRename(olds, run, folder);
        ASSERT_EQ(rows.size(), olds.size());
        std::string marks;
        std::string text;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].oldName, olds[i]);
            if (run.patternError == RenameError::None) {
                EXPECT_EQ(rows[i].newName, run.results[i].name);
            }
            marks += "FURTSCB"[static_cast<int>(rows[i].mark)];
            if (text.empty())
                text = rows[i].text;
        }
        EXPECT_EQ(marks, c.marks);
        EXPECT_EQ(text, c.text);
    }
}

} // namespace
