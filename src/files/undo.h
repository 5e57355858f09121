// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Undo of the newest journal entry and the recovery of rename runs a kill interrupted.

#include "files/fileoperations.h"
#include "files/journalformat.h"

#include <QString>
#include <QStringList>

#include <string>

namespace morvane::files {

class UndoJournal;

struct UndoReport
{
    bool found = false; // the journal held an entry
    QString action; // what was undone, in Japanese ("名前の変更")
    int undone = 0; // items put back
    QStringList refused; // one Japanese message per item left as it is
    // The report for the user: what was undone and each item that was not.
    [[nodiscard]] QString text() const;
};

// Why undoLast would leave items of `entry` as they are, in its words, newest item first: a file
// changed or gone since, an old place taken. Empty when nothing is known to block it (a copy's
// bytes are compared only by undoLast). Reads file facts only; any thread.
[[nodiscard]] QStringList undoBlockers(const journal::Entry &entry);

// The Japanese name of a journaled action ("rename" → "名前の変更").
[[nodiscard]] QString actionLabel(const std::string &action);

// Reverses the newest entry of `journal`: renamed and moved files go back, copies
// to the trash, trashed files back from the trash to their old place, new folders are removed
// when empty. Nothing is ever replaced: an item whose old place is taken, or whose file changed
// since (size, modification time, inode; for a copy also any change time after the entry, or
// bytes that differ from the source's in a tree of up to 64 MiB), is refused and reported; the
// other items go on. The
// items undone leave the entry afterwards; the refused ones stay in it as the newest entry, so
// that the undo can be tried again once what blocks it is gone. Nothing is undone while the
// journal cannot be written. A move back to another folder is recorded before it begins; an
// undo cut short by a kill is finished by the next undoLast, which then does nothing else
// (recoverRuns runs first). Only `prompter`'s confirm is asked (for a copy that has no trash to
// go to). UI thread for a dialog prompter. `seams` for tests.
[[nodiscard]] UndoReport undoLast(
    Prompter &prompter, UndoJournal &journal, const FileSystemSeams &seams = {});

} // namespace morvane::files
