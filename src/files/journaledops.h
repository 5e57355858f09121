// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file operations of the windows and the CLI, each recorded as one journal entry so that
// "元に戻す" can reverse it.

#include "files/fileoperations.h"

#include <QByteArray>
#include <QList>

namespace morvane::files {

// The file operations' requests, each journaled as one entry of `action` ("copy", "move", "drop",
// "trash", "rename") once it is finished: the items that were done, with the facts of their new
// place. An item that went into a folder that was there before (a merge) is left out: undoing it
// would take the folder's older content along. Nothing is written when no item was done; a
// journal that cannot be written is reported through `prompter`, the files stay as the request
// left them. A move writes its intent record first (moverecord.h): cut short by a kill, it is
// finished and journaled by recovery or by the same move run again. `seams` for tests.
[[nodiscard]] RequestResult journaledCopy(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets,
    const FileSystemSeams &seams = {});
[[nodiscard]] RequestResult journaledMove(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets,
    const FileSystemSeams &seams = {});
[[nodiscard]] RequestResult journaledRemove(Prompter &prompter, const QList<QByteArray> &paths);
[[nodiscard]] RequestResult journaledRename(
    Prompter &prompter, const QByteArray &path, const QByteArray &newName);
// Journals the empty folder `path` the user has just made.
void journalNewFolder(Prompter &prompter, const QByteArray &path);

} // namespace morvane::files
