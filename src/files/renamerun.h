// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Batch renames within one folder carried out as one run: ordered so that names given up by
// other files of the run can be taken, through a temporary name where a cycle needs one, with an
// intent record written first so that a run cut short by a kill is finished by recovery.

#include "files/fileoperations.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace morvane::files {

class UndoJournal;

// A step hook for tests: called with k before the k-th rename of a run (from 0) and with the
// number of renames after the last one.
using RunStepHook = std::function<void(std::size_t)>;

// Renames files of the folder `folder` (native path): `renames` holds (old name, new name) pairs.
// Each file is renamed or refused on its own through the file operations, which report every
// refusal to `prompter`; new names that other files of the run give up are taken in an order that
// works, through a temporary name in the folder where a cycle needs one. Before the first rename
// of a run of more than one rename an intent record goes to `journal`'s folder, so that
// recoverRuns can bring an interrupted run to an end. The renames done are journaled as one entry
// of `action` (none when it is null: an undo). Returns per pair whether the file has its new name
// now (an unchanged name: false). UI thread for a dialog prompter.
[[nodiscard]] std::vector<bool> renameRun(Prompter &prompter,
    UndoJournal &journal,
    const QByteArray &folder,
    const std::vector<std::pair<QByteArray, QByteArray>> &renames,
    const char *action = "rename",
    const RunStepHook &hook = {});

struct Recovery
{
    int runs = 0; // records found
    int kept = 0; // records kept because a file of theirs may still have a temporary name, or
                  // a folder of a move stays split
    int undone = 0; // items of an interrupted undo that reached their old place
    std::string undoneAction; // that undo's journaled action ("move")
};

// Brings every run whose intent record is in `journal`'s folder and whose process is gone to an
// end (a move's or an undo's record: see settleMove): each file of it gets its new name where that
// is free, else its old name, else a visible name derived from it ("f3 (復元).jpg", said through
// `prompter`), never keeping a temporary name; the renames that took place are journaled. A
// folder renamed or moved since is found again by its device and inode below its old parent
// folder (or that folder's nearest existing ancestor), a few levels deep, and the run finished
// there (said). A record whose folder is not found, or one of whose files cannot leave its
// temporary name, is kept and reported. Failures go to `prompter`.
[[nodiscard]] Recovery recoverRuns(Prompter &prompter, UndoJournal &journal);

} // namespace morvane::files
