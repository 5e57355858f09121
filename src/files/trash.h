// SPDX-License-Identifier: GPL-3.0-or-later
// The freedesktop trash, written by us over the native bytes of a name, so that any name goes to
// the trash and file managers and "gio trash" list and restore it.
#pragma once

#include <QByteArray>
#include <QString>

namespace morvane::files {

struct TrashResult
{
    enum class Status {
        Trashed, // the item lies at `trashedAs`
        NoTrash, // no trash of its volume could take it (none can be made or written, a trash
                 // folder is unsafe, no free name): the item is untouched
        Failed, // a trash was ready but the item cannot leave its folder: untouched
    };
    Status status = Status::Failed;
    // Where the item lies now: "TRASH/files/NAME"; its description is "TRASH/info/NAME.trashinfo".
    // Putting it back is renaming it to its old path and removing that info file.
    QByteArray trashedAs;
    QString why; // for NoTrash and Failed: the reason, one Japanese sentence or two
};

// Moves the entry `path` (a native path; a link is moved as itself) to the trash of its volume:
// the home trash ($XDG_DATA_HOME/Trash) for the home trash's file system, elsewhere
// "TOPDIR/.Trash/UID" (when ".Trash" is a real folder with the sticky bit) or "TOPDIR/.Trash-UID",
// made when missing. The info file is created exclusively and written first, then the entry is
// renamed into files/, never replacing anything. A taken name or one too long for info/ gives
// another ("a.2.jpg", a cut stem) for both files/ and info/, at most kTrashNameTries per trash, so
// every failure ends with a reason. Blocks; any thread.
[[nodiscard]] TrashResult trashItem(const QByteArray &path);

} // namespace morvane::files
