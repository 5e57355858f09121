// SPDX-License-Identifier: GPL-3.0-or-later
// The order of a rename run within one folder. The new names of a run may be names that other
// files of the same run give up (A→B with B→C, a swap A↔B, "file4..13 → file1..10"): the renames
// then go in an order in which each name is free when it is taken, and a cycle goes through a
// temporary name in the same folder. No step ever needs to replace a file.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace morvane::files {

// One file of a run: its name now, the name it is to get and a free name of the same folder it
// may pass through (names, not paths).
struct RunItem
{
    std::string from;
    std::string to;
    std::string via;
};

enum class RunVerdict {
    Renamed, // gets its new name through the plan's steps
    Unchanged, // the new name is the old one
    Occupied, // the new name stays taken by a file outside the run or by a file that keeps it
    SameTarget, // an earlier item of the run gets the same new name
};

// One rename of the plan: the item's file goes from the name `from` to the name `to`.
struct RunStep
{
    std::size_t item = 0;
    std::string from;
    std::string to;
};

struct RunPlan
{
    std::vector<RunVerdict> verdicts; // one per item
    std::vector<RunStep> steps; // in the order they must be carried out
};

// The temporary name of item `index` of the run tagged `tag` (letters and digits). It starts with
// the file operations' temporary prefix, so it is never taken for a user's file.
[[nodiscard]] std::string runTemporaryName(const std::string &tag, std::size_t index);

// Plans the run `items` in a folder that holds `folderNames` (the names of every entry now; the
// items' own names need not be among them). An item whose new name stays taken at the end is
// refused (Occupied); of several items with the same new name the first in order keeps it.
// Refusals cascade: a refused item keeps its name, so an item that wanted that name is refused
// too. Every other item is Renamed; each of its steps takes a name that is free at that moment;
// a cycle is opened by moving its first item to its `via` name. Names are compared byte for byte.
[[nodiscard]] RunPlan planRun(
    const std::vector<RunItem> &items, const std::set<std::string> &folderNames);

} // namespace morvane::files
