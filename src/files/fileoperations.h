// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file operations: copy, move, delete (to the trash) and rename over native paths, one
// request per call, asking and reporting through a Prompter; each returns what became of every
// item. journaledops.h records them for "元に戻す".

#include "files/fileoprules.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace morvane::files {

// How a file operation request talks to its user: the question before a file is replaced, a
// yes/no question, the report of each failure and the progress of the request. The windows use
// DialogPrompter (message boxes, a progress dialog); tests and the terminal commands answer
// without asking anyone. Called on the thread that runs the request.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // The file `target` exists and `source` would replace it (native paths). `more` is true when
    // other items of the request follow, so that "すべてはい" is worth offering.
    [[nodiscard]] virtual ReplaceAnswer askReplace(
        const QByteArray &source, const QByteArray &target, bool more) = 0;

    // A yes/no question in Japanese, such as "完全に削除しますか？"; true for yes.
    [[nodiscard]] virtual bool confirm(const QString &question) = 0;

    // One failure, in Japanese, naming the file and the reason. The request goes on afterwards.
    virtual void reportError(const QString &message) = 0;

    // Progress of a request. `progressStarted` gives the title ("コピーしています" ...) and the
    // total amount of work: bytes to copy plus one per item. `progressed` gives the work done so
    // far and the item at hand; returning false cancels the request. `progressFinished` closes
    // it, after a cancel too. The defaults show nothing and never cancel.
    virtual void progressStarted(const QString &title, qint64 total);
    [[nodiscard]] virtual bool progressed(qint64 done, const QByteArray &current);
    virtual void progressFinished();
};

// What became of one item of a request.
enum class ItemStatus {
    Done, // copied, moved, deleted or renamed (a folder: with everything in it)
    Skipped, // left alone on the user's answer ("いいえ" to replacing, no to deleting for good)
    Failed, // refused or failed; the failure was reported
    NotReached, // the request was cancelled before or while this item was handled
};

struct RequestResult
{
    bool ok = false; // true exactly when every item was done
    bool cancelled = false; // the user stopped the request ("キャンセル")
    std::vector<ItemStatus> items; // one per source, in request order
    std::vector<QByteArray>
        trashedAs; // per item: its path in the trash's files/ folder, empty when not trashed
};

// Failures that tests make happen where no file system gives them on demand (as root, permission
// bits leave every folder readable). Each gives the errno to fail with, 0 for the real call; an
// empty function is the real call.
struct FileSystemSeams
{
    // The flush of each copied file (fsync).
    std::function<int()> flushError;
    // The listing of the folder `folder` (a source folder being copied or moved).
    std::function<int(const QByteArray &folder)> listError;
};

// The four file operations, each over native paths (the file system's bytes), one request per
// call, blocking until it is finished. They never replace a file without the prompter's consent
// and never lose one:
// - a copied file is written to a temporary name in the target's folder (its holes kept as
//   holes), flushed to disk, given its modification time and permission bits, and only then given
//   its name, without replacing anything unless the user agreed, in which case it is renamed over
//   the old file in one step; a cancelled or failed copy leaves no partial file, and one left by
//   a killed process is removed by the next copy into that folder;
// - a move is a rename within one file system; across file systems each file is copied as above,
//   keeping owner and group where the process may, its size checked, and only then its source
//   removed;
// - a delete moves to the freedesktop trash; where that is impossible it asks
//   "完全に削除しますか？" and deletes for good only on yes;
// - a folder is copied or moved with everything in it; onto an existing folder its entries join
//   it one by one, each existing file asked about. Never into itself: the target's folders are
//   compared with it by device and inode, so a bind mount or link of it counts. A folder made for
//   a copy that failed or stopped before anything went into it is removed again.
// A source path that ends in "/" and names a link to a folder means that folder. An empty path
// is never the working folder: it is refused, as is an empty target.
// A missing source, a refusal or a failure is reported through the prompter and the other items
// go on. UI thread for a DialogPrompter; otherwise any thread, one request at a time per object.
class FileOperations
{
public:
    // `prompter` must outlive the object.
    explicit FileOperations(Prompter &prompter, FileSystemSeams seams = {});

    // Copies or moves `sources[i]` to the full path `targets[i]`. Lists of different lengths are
    // refused as a whole (nothing happens, ok false, every item Failed).
    [[nodiscard]] RequestResult copy(
        const QList<QByteArray> &sources, const QList<QByteArray> &targets);
    [[nodiscard]] RequestResult move(
        const QList<QByteArray> &sources, const QList<QByteArray> &targets);

    // Moves each path to the trash (or, where there is none and the user agrees, deletes it).
    [[nodiscard]] RequestResult remove(const QList<QByteArray> &paths);

    // Gives `path` the name `newName` in the same folder. Never onto an existing name, another
    // hard link of the file included; a change of letter case alone works also where the file
    // system ignores case. A name that is empty,
    // "." or "..", or holds "/" or NUL is refused. The same name is success without a change.
    [[nodiscard]] RequestResult rename(const QByteArray &path, const QByteArray &newName);

    // The targets for putting `sources` into `folder` under their own names; empty ones (which
    // the requests refuse) for an empty `folder`.
    [[nodiscard]] static QList<QByteArray> targetsIn(
        const QByteArray &folder, const QList<QByteArray> &sources);

private:
    Prompter &m_prompter;
    FileSystemSeams m_seams;
};

// Renames `from` to `to` without ever replacing an entry at `to` (errno EEXIST then). Where the
// file system refuses RENAME_NOREPLACE, a file is linked and unlinked; only a folder, or a file
// system without hard links, falls back to a check before a plain rename. 0 or -1 with errno.
[[nodiscard]] int renameNoReplace(const QByteArray &from, const QByteArray &to, bool isFolder);

} // namespace morvane::files
