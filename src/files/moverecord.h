// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Intent records of moves: written before the first item of a move (or of an undo's move back)
// leaves its place, so that one cut short by a kill is brought to an end by recovery, and what
// it moved is journaled (or, for an undo, leaves the journal).

#include "files/journalformat.h"

#include <QByteArray>
#include <QList>

#include <string>
#include <vector>

namespace morvane::files {

class Prompter;
class UndoJournal;
struct Recovery;

// The intent record of one move request in `journal`'s folder, removed by end(); the destructor
// keeps it for recovery (the request ended some other way). Records of killed moves of the same
// (source, target) pairs are taken over: the folders they made at the targets are theirs, not
// folders the request merges into, and they are removed with this request's record.
class MoveIntent
{
public:
    // `prompter` hears of what goes wrong with the records taken over.
    MoveIntent(Prompter &prompter, UndoJournal &journal);
    ~MoveIntent();
    MoveIntent(const MoveIntent &) = delete;
    MoveIntent &operator=(const MoveIntent &) = delete;

    // Writes the record of moving `sources[i]` to `targets[i]` for every i not `merged` (native
    // paths), after setting `merged[i]` false for a pair that a killed move began. A record that
    // cannot be written is not reported: the move goes on, the journal says whether undo works.
    void begin(const std::string &action,
        const QList<QByteArray> &sources,
        const QList<QByteArray> &targets,
        std::vector<bool> &merged);
    // Writes the record of an undo of the entry of `action` moving `item.to` back to `item.from`.
    void beginUndo(const std::string &action, const journal::Item &item);
    // Removes the records written and taken over (the request is journaled).
    void end();

private:
    Prompter &m_prompter;
    UndoJournal &m_journal;
    std::vector<QByteArray> m_tags; // records this object holds
};

// Brings the move record `record` of a process that is gone to an end: an item found in both
// places is moved on (a file whose copy is finished loses its source; nothing is replaced), an
// item found at its target only is journaled under the record's action, unless the journal holds
// it already; an undo's item that reached its old place leaves its journal entry, counted in
// `recovery`. False when a folder stays split between both places (reported to `prompter`):
// the record is kept for a later try. Without `finish` an item in both places is left alone.
[[nodiscard]] bool settleMove(Prompter &prompter,
    UndoJournal &journal,
    const journal::Entry &record,
    Recovery &recovery,
    bool finish = true);

// Whether `record` is a move's or an undo's record rather than a rename run's.
[[nodiscard]] bool isMoveRecord(const journal::Entry &record);

} // namespace morvane::files
