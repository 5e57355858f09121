// SPDX-License-Identifier: GPL-3.0-or-later
// What a batch rename would do, before it runs: each file's old and new name and a mark for the
// names that will not come out as typed. Pure logic over names (bytes), any thread.
#pragma once

#include "organise/renamelang.h"

#include <string>
#include <vector>

namespace morvane::organise {

enum class PreviewMark {
    Free, // the new name is free
    Unchanged, // the new name is the old one
    Refused, // the rename language refuses the new name (or the pattern): `text` says why
    Taken, // a file of the folder that keeps its name already has the new name
    SameInRun, // another file of this run gets the same new name
    CaseOnly, // a name of the folder or of the run differs from the new name in letter case only
    Blocked, // the new name is held by a file of the run that cannot be renamed and keeps it
};

struct PreviewRow
{
    std::string oldName;
    std::string newName; // empty when refused
    PreviewMark mark = PreviewMark::Free;
    std::string text; // the mark in Japanese (UTF-8); empty for Free
    bool fails = false; // the file will not get its new name (nor keep it: Unchanged is false)
};

// One row per name of `oldNames`, in order, for the run `run` made of them (buildNewNames).
// `folderNames` are all the names of the folder the files live in (files, folders, anything); a
// file that keeps its name, because it is not in the run or its new name is refused or the same,
// holds its name. Letter case is compared for ASCII letters only. A pattern error marks every
// row Refused with the pattern's message. A file that cannot get its new name (Taken, Blocked, or
// SameInRun after the first file of that name) keeps its name, so a file that wanted that name is
// Blocked, and so on along the chain. `fails` tells the renames the run will refuse.
[[nodiscard]] std::vector<PreviewRow> previewRename(const std::vector<std::string> &oldNames,
    const RenameRun &run,
    const std::vector<std::string> &folderNames);

} // namespace morvane::organise
