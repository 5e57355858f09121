// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/renamepreview.h"

#include <map>
#include <set>
#include <unordered_set>

namespace morvane::organise {

namespace {

    std::string foldCase(std::string s)
    {
        for (char &c : s) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return s;
    }

    std::string markText(PreviewMark mark)
    {
        switch (mark) {
        case PreviewMark::Unchanged:
            return "変更なし";
        case PreviewMark::Taken:
            return "フォルダーに同じ名前のものがあります";
        case PreviewMark::SameInRun:
            return "ほかのファイルも同じ名前になります";
        case PreviewMark::CaseOnly:
            return "大文字と小文字だけが違う名前があります";
        case PreviewMark::Free:
        case PreviewMark::Refused:
        case PreviewMark::Blocked:
            break;
        }
        return {};
    }

    // Marks what the run refuses (`fails`) and, along chains, the renames whose new name a
    // refused file keeps (Blocked). Of a name given twice the first file gets it.
    void markBlocked(std::vector<PreviewRow> &rows, const std::vector<bool> &renamed)
    {
        std::map<std::string, std::size_t> bySource; // old name → renamed row
        std::set<std::string> given;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            PreviewRow &row = rows[i];
            const bool first = renamed[i] && given.insert(row.newName).second;
            row.fails = row.mark == PreviewMark::Refused || row.mark == PreviewMark::Taken
                || (renamed[i] && !first);
            if (renamed[i])
                bySource.emplace(row.oldName, i);
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                PreviewRow &row = rows[i];
                if (!renamed[i] || row.fails)
                    continue;
                const auto holder = bySource.find(row.newName);
                if (holder == bySource.end() || !rows[holder->second].fails)
                    continue;
                row.mark = PreviewMark::Blocked;
                row.text = "「" + row.newName + "」は名前を変えられずに残るため使えません";
                row.fails = true;
                changed = true;
            }
        }
    }

} // namespace

std::vector<PreviewRow> previewRename(const std::vector<std::string> &oldNames,
    const RenameRun &run,
    const std::vector<std::string> &folderNames)
{
    std::vector<PreviewRow> rows(oldNames.size());
    const bool patternOk = run.patternError == RenameError::None;
    std::vector<bool> renamed(oldNames.size(), false);
    std::unordered_set<std::string> leaving; // old names that the run gives up
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        rows[i].oldName = oldNames[i];
        if (!patternOk || i >= run.results.size()) {
            rows[i].mark = PreviewMark::Refused;
            rows[i].text = run.patternMessage;
            continue;
        }
        const RenameResult &r = run.results[i];
        rows[i].newName = r.name;
        renamed[i] = r.ok() && r.name != oldNames[i];
        if (renamed[i])
            leaving.insert(oldNames[i]);
    }

    // Names held after the run by files that keep them, and the new names of the run, each also
    // by their letter case folded.
    std::unordered_set<std::string> kept;
    for (const std::string &n : folderNames) {
        if (leaving.count(n) == 0)
            kept.insert(n);
    }
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        if (!renamed[i])
            kept.insert(oldNames[i]);
    }
    std::unordered_set<std::string> keptFolded;
    for (const std::string &n : kept)
        keptFolded.insert(foldCase(n));
    std::map<std::string, int> newCount;
    std::map<std::string, std::set<std::string>> newByFolded;
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        if (renamed[i]) {
            ++newCount[rows[i].newName];
            newByFolded[foldCase(rows[i].newName)].insert(rows[i].newName);
        }
    }

    for (std::size_t i = 0; i < oldNames.size(); ++i) {
        PreviewRow &row = rows[i];
        if (row.mark == PreviewMark::Refused)
            continue;
        const RenameResult &r = run.results[i];
        if (!r.ok()) {
            row.mark = PreviewMark::Refused;
            row.text = r.message;
            continue;
        }
        const std::string folded = foldCase(row.newName);
        if (!renamed[i])
            row.mark = PreviewMark::Unchanged;
        else if (kept.count(row.newName) != 0)
            row.mark = PreviewMark::Taken;
        else if (newCount[row.newName] > 1)
            row.mark = PreviewMark::SameInRun;
        else if (keptFolded.count(folded) != 0 || newByFolded[folded].size() > 1)
            row.mark = PreviewMark::CaseOnly;
        row.text = markText(row.mark);
    }
    markBlocked(rows, renamed);
    return rows;
}

} // namespace morvane::organise
