// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The undo journal: records entries (what a finished request changed) and reads them back, and
// keeps the intent records of rename runs under way. It knows nothing of the file operations;
// journaledops.h records them, undo.h reverses them.

#include "files/journalformat.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace morvane::files {

// The undo journal and the intent records of rename runs under way, in one state folder (native
// path). Every change is made under an exclusive lock of the folder, so the program and
// morvane-cli may write at the same time. An entry is on disk (fsync) when append returns true; a
// crash or a full disk at any moment leaves the entries before it readable. Any thread, one call
// at a time per object.
class UndoJournal
{
public:
    static constexpr std::size_t kMaxEntries = 100;

    explicit UndoJournal(QByteArray folder);

    // $XDG_STATE_HOME/morvane (an absolute XDG_STATE_HOME only), else ~/.local/state/morvane.
    [[nodiscard]] static QByteArray defaultFolder();
    [[nodiscard]] const QByteArray &folder() const { return m_folder; }

    // Appends `entry`, flushed to disk; the oldest entries beyond kMaxEntries are dropped. False
    // with a Japanese message when it cannot be written; the journal stays as it was.
    [[nodiscard]] bool append(const journal::Entry &entry, QString *error = nullptr);
    // The entries, oldest first; damaged lines skipped.
    [[nodiscard]] std::vector<journal::Entry> entries() const;
    // Removes the newest entry and returns it; nothing when there is none or it cannot be
    // removed (then `error` says why).
    [[nodiscard]] std::optional<journal::Entry> takeLast(QString *error = nullptr);

    // The intent record of the rename run `tag`, flushed to disk before the run's first rename.
    [[nodiscard]] bool writeIntent(
        const QByteArray &tag, const journal::Entry &record, QString *error = nullptr);
    void removeIntent(const QByteArray &tag);
    // The records of runs that did not finish: tag and record, nothing for a record that was cut
    // short while written (no rename of its run took place).
    [[nodiscard]] std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> intents() const;

private:
    [[nodiscard]] bool rewrite(const std::string &text, QString *error);

    QByteArray m_folder;
};

// The facts of the entry at `path` (lstat); inode 0 when nothing is there.
[[nodiscard]] journal::Stamp stampOf(const QByteArray &path);

} // namespace morvane::files
