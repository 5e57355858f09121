// SPDX-License-Identifier: GPL-3.0-or-later
// Removing: each item to the trash, or deleted for good where there is no trash and the user
// agrees.
#include "files/fileoperations_p.h"
#include "files/trash.h"

#include <cerrno>

namespace morvane::files::detail {

namespace {

    // Removes `path` and, for a folder, everything in it, never following a link or leaving the
    // file system `dev`. Returns 0 or the errno of the first failure.
    int removeForGood(const QByteArray &path, dev_t dev)
    {
        const Entry e = inspect(path);
        if (e.kind == EntryKind::Missing)
            return errno;
        if (e.kind != EntryKind::Folder)
            return ::unlink(path.constData()) == 0 ? 0 : errno;
        if (e.st.st_dev != dev)
            return EBUSY; // a mount point inside: the other volume's files are not touched
        QList<QByteArray> names;
        if (!folderNames(path, names))
            return errno;
        for (const QByteArray &n : std::as_const(names)) {
            if (const int error = removeForGood(join(path, n), dev))
                return error;
        }
        return ::rmdir(path.constData()) == 0 ? 0 : errno;
    }

} // namespace

ItemStatus Request::removeOne(const QByteArray &path, QByteArray &trashedAs)
{
    if (checkNewName(lastComponent(view(path))) != NameProblem::None)
        return fail(path, QStringLiteral("この場所は削除できません。"));
    const Entry e = inspect(path);
    if (e.kind == EntryKind::Missing)
        return failErrno(path, ENOENT);
    // Checked first: a file that cannot leave its folder is no question of a missing trash.
    if (::access(parentPath(path).constData(), W_OK | X_OK) != 0)
        return failErrno(path, errno);
    const TrashResult trashed = trashItem(path);
    if (trashed.status == TrashResult::Status::Trashed) {
        trashedAs = trashed.trashedAs;
        advance(1, path);
        return ItemStatus::Done;
    }
    if (trashed.status == TrashResult::Status::Failed)
        return fail(path, trashed.why);
    if (inspect(path).kind == EntryKind::Missing)
        return failErrno(path, ENOENT);
    const QString question =
        QStringLiteral("「%1」はごみ箱に移動できません。\n%2\n完全に削除しますか？")
            .arg(shown(path), trashed.why);
    if (!m_prompter.confirm(question))
        return ItemStatus::Skipped;
    if (const int error = removeForGood(path, e.st.st_dev))
        return failErrno(path, error);
    advance(1, path);
    return ItemStatus::Done;
}

} // namespace morvane::files::detail

namespace morvane::files {

using namespace detail;

RequestResult FileOperations::remove(const QList<QByteArray> &paths)
{
    Request request(m_prompter, Verb::Delete);
    request.start(QStringLiteral("削除しています"), paths.size());
    std::vector<ItemStatus> items;
    items.reserve(static_cast<std::size_t>(paths.size()));
    std::vector<QByteArray> trashedAs(static_cast<std::size_t>(paths.size()));
    for (const QByteArray &p : paths) {
        items.push_back(request.cancelled()
                ? ItemStatus::NotReached
                : request.removeOne(bytes(trimTrailingSlashes(view(p))), trashedAs[items.size()]));
    }
    RequestResult result = finish(request, std::move(items));
    result.trashedAs = std::move(trashedAs);
    return result;
}

} // namespace morvane::files
