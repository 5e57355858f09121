// SPDX-License-Identifier: GPL-3.0-or-later
// One item of a copy or a move: what may be done with it, the question before a file is
// replaced, a rename within one file system and a move across file systems.
#include "files/fileoperations_p.h"
#include "platform/folderscan.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace morvane::files::detail {

namespace {

    // True when the folder `folder` or a folder above it, climbing by "..", is the entry `s`.
    // Device and inode are compared, so a bind mount or a link of the source is seen through
    // where comparing path names is not.
    bool isWithin(const QByteArray &folder, const struct stat &s)
    {
        int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat here
        {
        };
        bool found = false;
        while (fd >= 0 && ::fstat(fd, &here) == 0) {
            found = isSameFile(here, s);
            if (found)
                break;
            const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = up;
            struct stat above
            {
            };
            if (fd >= 0 && (::fstat(fd, &above) != 0 || isSameFile(above, here)))
                break; // the root is its own parent
        }
        if (fd >= 0)
            ::close(fd);
        return found;
    }

} // namespace

ItemStatus Request::transfer(const QByteArray &source, const QByteArray &target)
{
    // An empty path would mean the working folder (or the root, joined to a name): never.
    if (checkNewName(lastComponent(view(source))) != NameProblem::None
        || checkNewName(lastComponent(view(target))) != NameProblem::None)
        return fail(source, QStringLiteral("この場所はコピーも移動もできません。"));
    const QByteArray targetFolder = parentPath(target);
    if (!isFolder(targetFolder)) {
        return fail(source,
            QStringLiteral("行き先のフォルダー「%1」がありません。").arg(shown(targetFolder)));
    }
    const Entry s = inspect(source);
    const Entry t = inspect(target);
    const ItemFacts facts = factsOf(source, target, targetFolder, s, t);
    const bool copying = m_verb == Verb::Copy;
    switch (decideTransfer(facts)) {
    case ItemStep::RefuseMissing:
        return failErrno(source, ENOENT);
    case ItemStep::RefuseSameEntry:
        return fail(source,
            copying ? QStringLiteral("コピー元とコピー先が同じです。")
                    : QStringLiteral("移動元と移動先が同じです。"));
    case ItemStep::RefuseIntoItself:
        return fail(source,
            copying ? QStringLiteral("フォルダーをそれ自身の中へはコピーできません。")
                    : QStringLiteral("フォルダーをそれ自身の中へは移動できません。"));
    case ItemStep::RefuseFolderOverFile:
        return fail(source, QStringLiteral("行き先に同じ名前のファイルがあります。"));
    case ItemStep::RefuseFileOverFolder:
        return fail(source, QStringLiteral("行き先に同じ名前のフォルダーがあります。"));
    case ItemStep::RefuseSpecial:
        return fail(source, QStringLiteral("デバイスや FIFO などの特殊なファイルは扱えません。"));
    case ItemStep::Merge:
        return intoFolder(source, s, target, false);
    case ItemStep::AskReplace: {
        bool replace = false;
        const ItemStatus answer = askReplace(source, target, replace);
        return replace ? place(source, s, target, true) : answer;
    }
    case ItemStep::Proceed:
        break;
    }
    return place(source, s, target, false);
}

// What stands at the source and the target, and for a folder whether the target lies inside it.
ItemFacts Request::factsOf(const QByteArray &source,
    const QByteArray &target,
    const QByteArray &targetFolder,
    const Entry &s,
    const Entry &t) const
{
    ItemFacts facts {s.kind, t.kind, isSameEntry(s, t), false};
    if (s.kind == EntryKind::Folder) {
        const QByteArray realTarget =
            join(platform::realPath(targetFolder), bytes(lastComponent(view(target))));
        // A folder this request made is part of the copy: copying it again would nest
        // without end (a bind mount of the target inside the source).
        facts.targetInsideSource =
            isSameOrInside(view(platform::realPath(source)), view(realTarget))
            || isWithin(targetFolder, s.st) || m_created.count({s.st.st_dev, s.st.st_ino}) > 0;
    }
    return facts;
}

ItemStatus Request::askReplace(const QByteArray &source, const QByteArray &target, bool &replace)
{
    const ReplaceStep step = m_consent.take(m_consent.needsQuestion()
            ? m_prompter.askReplace(source, target, m_more || m_depth > 0)
            : ReplaceAnswer::YesToAll);
    replace = step == ReplaceStep::Replace;
    if (step == ReplaceStep::Stop) {
        m_cancelled = true;
        return ItemStatus::NotReached;
    }
    return ItemStatus::Skipped;
}

// Gives `source` the path `target`: a rename when moving within one file system, otherwise a
// copy (and for a move the removal of the source afterwards).
ItemStatus Request::place(
    const QByteArray &source, const Entry &s, const QByteArray &target, bool replace)
{
    if (m_verb == Verb::Copy) {
        if (s.kind == EntryKind::Folder)
            return newFolder(source, s, target);
        return copyFile(source, s, target, replace);
    }
    const int rc = replace ? std::rename(source.constData(), target.constData())
                           : renameNoReplace(source, target, s.kind == EntryKind::Folder);
    if (rc == 0) {
        advance(1, source);
        return ItemStatus::Done;
    }
    const int error = errno;
    if (error == EXDEV)
        return moveAcross(source, s, target, replace);
    if (error == EEXIST && !replace) {
        // The target appeared after it was looked at: decide again with it in place.
        return transfer(source, target);
    }
    return failErrno(source, error);
}

ItemStatus Request::moveAcross(
    const QByteArray &source, const Entry &s, const QByteArray &target, bool replace)
{
    // A source that cannot be removed afterwards would leave the file in two places.
    if (::access(parentPath(source).constData(), W_OK | X_OK) != 0)
        return failErrno(source, errno);
    if (s.kind == EntryKind::Folder)
        return newFolder(source, s, target);
    const ItemStatus copied = copyFile(source, s, target, replace);
    if (copied != ItemStatus::Done)
        return copied;
    const Entry t = inspect(target);
    if (t.kind != EntryKind::File || (S_ISREG(s.st.st_mode) && t.st.st_size != s.st.st_size)) {
        ::unlink(target.constData());
        return fail(source, QStringLiteral("コピーしたファイルの大きさが元と違います。"));
    }
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData()); // the source stays; do not leave a second copy
        return failErrno(source, error);
    }
    return ItemStatus::Done;
}

} // namespace morvane::files::detail
