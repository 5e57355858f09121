// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The undo journal: records entries (what a finished request changed) and reads them back, and
// keeps the intent records of rename runs under way. It knows nothing of the file operations;
// journaledops.h records them, undo.h reverses them.

#include "files/journalformat.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace morvane::files {

// The undo journal and the intent records of rename runs under way, in one state folder (native
// path). Only regular files that hold journal text are read or written, never through a link:
// anything else at their names makes undo unavailable and is left as it is. Every change is made
// under an exclusive lock of the folder, so the program and
// morvane-cli may write at the same time. An entry is on disk (fsync) when append returns true; a
// crash or a full disk at any moment leaves the entries before it readable. Any thread, one call
// at a time per object.
class UndoJournal
{
public:
    static constexpr std::size_t kMaxEntries = 100;

    explicit UndoJournal(QByteArray folder);
    ~UndoJournal();
    UndoJournal(const UndoJournal &) = delete;
    UndoJournal &operator=(const UndoJournal &) = delete;

    // $XDG_STATE_HOME/morvane (an absolute XDG_STATE_HOME only), else ~/.local/state/morvane.
    [[nodiscard]] static QByteArray defaultFolder();
    [[nodiscard]] const QByteArray &folder() const { return m_folder; }

    // Appends `entry`, flushed to disk; the oldest entries beyond kMaxEntries are dropped. False
    // with a Japanese message when it cannot be written; the journal stays as it was.
    [[nodiscard]] bool append(const journal::Entry &entry, QString *error = nullptr);
    // The entries, oldest first; damaged lines skipped.
    [[nodiscard]] std::vector<journal::Entry> entries() const;
    // The newest entry; nothing when there is none or the journal is not readable as one (then
    // `error` says why).
    [[nodiscard]] std::optional<journal::Entry> last(QString *error = nullptr) const;
    // Replaces the newest entry equal to `was` by `now`, or removes it when `now` is empty; true
    // also when `was` is no longer there. False with a Japanese message when the journal cannot
    // be written; it stays as it was.
    [[nodiscard]] bool replace(const journal::Entry &was,
        const std::optional<journal::Entry> &now,
        QString *error = nullptr);
    // Removes the newest entry and returns it; nothing when there is none or it cannot be
    // removed (then `error` says why).
    [[nodiscard]] std::optional<journal::Entry> takeLast(QString *error = nullptr);

    // A new name for an intent record: letters and digits, unlike any other's.
    [[nodiscard]] static QByteArray newTag();
    // The intent record of the rename run `tag`, flushed to disk before the run's first rename
    // and locked (flock) by this object until removeIntent, so that recovery in another process
    // leaves a live run alone.
    [[nodiscard]] bool writeIntent(
        const QByteArray &tag, const journal::Entry &record, QString *error = nullptr);
    void removeIntent(const QByteArray &tag);
    // Keeps the record of `tag` for a later recovery and lets go of its lock.
    void releaseIntent(const QByteArray &tag);
    // The records of runs that did not finish and whose process is gone: tag and record,
    // nothing for a record that was cut short while written (no rename of its run took place).
    // Each is locked by this object until removeIntent. Links and files that are no record are
    // left out, and left alone.
    [[nodiscard]] std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> intents();

    // For tests: the errno each flush (fsync) of the journal or a record fails with, 0 for the
    // real call.
    void setFlushError(std::function<int()> flushError) { m_flushError = std::move(flushError); }

private:
    [[nodiscard]] bool rewrite(const std::string &text, QString *error);
    [[nodiscard]] int flush(int fd) const;

    QByteArray m_folder;
    std::map<QByteArray, int> m_held; // run records locked by this object: tag → descriptor
    std::function<int()> m_flushError;
};

// The facts of the entry at `path` (lstat); inode 0 when nothing is there.
[[nodiscard]] journal::Stamp stampOf(const QByteArray &path);

} // namespace morvane::files
