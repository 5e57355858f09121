// SPDX-License-Identifier: GPL-3.0-or-later
// Folders copied or moved with everything in them: a new folder for the copy, its entries one by
// one, and the folder finished with the source's bits and times (or removed when nothing came).
#include "files/fileoperations_p.h"

#include <cerrno>
#include <fcntl.h>

namespace morvane::files::detail {

namespace {

    int rank(ItemStatus s)
    {
        switch (s) {
        case ItemStatus::Done:
            return 0;
        case ItemStatus::Skipped:
            return 1;
        case ItemStatus::Failed:
            return 2;
        case ItemStatus::NotReached:
            break;
        }
        return 3;
    }

    ItemStatus worse(ItemStatus a, ItemStatus b)
    {
        return rank(a) >= rank(b) ? a : b;
    }

} // namespace

ItemStatus Request::newFolder(const QByteArray &source, const Entry &s, const QByteArray &target)
{
    // Writable for the copy until its entries are in; the source's bits come last. An
    // interrupted run thus leaves the source's bits, not a folder closed to others.
    if (::mkdir(target.constData(), (s.st.st_mode & 0777) | S_IRWXU) != 0) {
        const int error = errno;
        if (error == EEXIST)
            return transfer(source, target); // appeared meanwhile: merge or refuse
        return failErrno(source, error);
    }
    const Entry made = inspect(target);
    m_created.insert({made.st.st_dev, made.st.st_ino});
    const QList<QByteArray> lost = copyUserAttributesAt(source, target);
    if (!lost.isEmpty() && m_verb == Verb::Move) {
        const ItemStatus kept = keepAttributes(source, lost);
        finishFolder(target, s, kept);
        return kept;
    }
    const ItemStatus status = intoFolder(source, s, target, true);
    // A moved folder whose attributes the target cannot hold stays (emptied) at its place.
    return lost.isEmpty() || status != ItemStatus::Done ? status : keepAttributes(source, lost);
}

bool Request::listFolder(const QByteArray &folder, QList<QByteArray> &names)
{
    if (const int error = m_seams.listError ? m_seams.listError(folder) : 0) {
        errno = error;
        return false;
    }
    return folderNames(folder, names);
}

// The entries of the folder `source` go into the existing folder `target` one by one. A
// folder made for the purpose (`created`) gets the source's permission bits and time last;
// a moved folder is removed when everything left it.
ItemStatus Request::intoFolder(
    const QByteArray &source, const Entry &s, const QByteArray &target, bool created)
{
    QList<QByteArray> names;
    if (!listFolder(source, names)) {
        const ItemStatus failed = failErrno(source, errno);
        if (created)
            finishFolder(target, s, failed);
        return failed;
    }
    // Unfinished copies a killed run left in a folder it made go, also where the entries now
    // arrive by rename (a killed move across file systems, finished within one).
    if (!created)
        sweepStaleCopies(target);
    ItemStatus status = ItemStatus::Done;
    if (!advance(1, source))
        status = ItemStatus::NotReached;
    ++m_depth;
    for (const QByteArray &n : std::as_const(names)) {
        if (m_cancelled) {
            status = ItemStatus::NotReached;
            break;
        }
        status = worse(status, transfer(join(source, n), join(target, n)));
    }
    --m_depth;
    if (created)
        finishFolder(target, s, status);
    if (m_verb == Verb::Move && status == ItemStatus::Done && ::rmdir(source.constData()) != 0)
        return failErrno(source, errno);
    return status;
}

// A folder this request made for the source folder `s`: removed when it stayed empty because
// the copy failed or stopped, otherwise given the source's owner (a move), bits and times.
void Request::finishFolder(const QByteArray &target, const Entry &s, ItemStatus status)
{
    if (status != ItemStatus::Done && ::rmdir(target.constData()) == 0)
        return;
    if (m_verb == Verb::Move) [[maybe_unused]]
        const int owned = ::lchown(target.constData(), s.st.st_uid, s.st.st_gid);
    ::chmod(target.constData(), s.st.st_mode & 07777);
    const timespec times[2] = {s.st.st_atim, s.st.st_mtim};
    ::utimensat(AT_FDCWD, target.constData(), times, 0);
}

} // namespace morvane::files::detail
