// SPDX-License-Identifier: GPL-3.0-or-later
// The requests: their items dispatched one by one, their result, and the rename of one entry.
#include "files/fileoperations.h"

#include "files/fileoperations_p.h"
#include "platform/folderscan.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>

namespace morvane::files::detail {

// "「path」をコピーできませんでした。" and the reason on a line of its own; a rename names
// the new name too.
QString failureText(
    Verb verb, const QByteArray &path, const QByteArray &newName, const QString &why)
{
    static constexpr std::array kFormats {
        "「%1」をコピーできませんでした。",
        "「%1」を移動できませんでした。",
        "「%1」を削除できませんでした。",
        "「%1」の名前を「%2」に変更できませんでした。",
    };
    QString text = QString::fromUtf8(kFormats[static_cast<std::size_t>(verb)]).arg(shown(path));
    if (verb == Verb::Rename)
        text = text.arg(QFile::decodeName(newName));
    return text + u'\n' + why;
}

Entry inspect(const QByteArray &path)
{
    Entry e;
    if (::lstat(path.constData(), &e.st) != 0)
        return e;
    if (S_ISDIR(e.st.st_mode))
        e.kind = EntryKind::Folder;
    else if (S_ISREG(e.st.st_mode) || S_ISLNK(e.st.st_mode))
        e.kind = EntryKind::File;
    else
        e.kind = EntryKind::Special;
    return e;
}

// True for a folder or a link to one: the folder a target is put into.
bool isFolder(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names in a folder, without "." and "..". Empty with errno set when it cannot be read.
bool folderNames(const QByteArray &folder, QList<QByteArray> &names)
{
    DIR *dir = ::opendir(folder.constData());
    if (dir == nullptr)
        return false;
    errno = 0;
    while (const dirent *e = ::readdir(dir)) {
        const std::string_view n(e->d_name);
        if (n != "." && n != "..")
            names.append(QByteArray(e->d_name));
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    return error == 0;
}

RequestResult finish(const Request &request, std::vector<ItemStatus> items)
{
    RequestResult r;
    r.cancelled = request.cancelled();
    r.ok = !r.cancelled;
    for (const ItemStatus s : items)
        r.ok = r.ok && s == ItemStatus::Done;
    r.items = std::move(items);
    return r;
}

} // namespace morvane::files::detail

namespace morvane::files {

using namespace detail;

void Prompter::progressStarted(const QString &, qint64) {}

bool Prompter::progressed(qint64, const QByteArray &)
{
    return true;
}

void Prompter::progressFinished() {}

namespace {

    QString nameProblemText(NameProblem problem)
    {
        switch (problem) {
        case NameProblem::Empty:
            return QStringLiteral("新しい名前が空です。");
        case NameProblem::DotName:
            return QStringLiteral("「.」と「..」は名前に使えません。");
        case NameProblem::Separator:
            return QStringLiteral("名前に「/」は使えません。");
        case NameProblem::Nul:
            return QStringLiteral("名前に NUL 文字は使えません。");
        case NameProblem::None:
            break;
        }
        return {};
    }

    dev_t deviceOf(const QByteArray &path, bool follow)
    {
        struct stat st
        {
        };
        const int rc = follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
        return rc == 0 ? st.st_dev : 0;
    }

    // Work of a copy: bytes of the regular files plus one per entry, links never followed.
    qint64 copyWork(const QByteArray &path)
    {
        const Entry e = inspect(path);
        if (e.kind == EntryKind::Missing)
            return 1;
        if (e.kind != EntryKind::Folder)
            return 1 + (S_ISREG(e.st.st_mode) ? e.st.st_size : 0);
        qint64 work = 1;
        QList<QByteArray> names;
        if (folderNames(path, names)) {
            for (const QByteArray &n : std::as_const(names))
                work += copyWork(join(path, n));
        }
        return work;
    }

    // `path` as a source: a trailing "/" on a link to a folder means the folder it points to.
    QByteArray sourcePath(const QByteArray &path)
    {
        const QByteArray trimmed = bytes(trimTrailingSlashes(view(path)));
        if (trimmed.size() < path.size() && inspect(trimmed).kind == EntryKind::File
            && isFolder(trimmed)) {
            if (QByteArray real = platform::realPath(trimmed); !real.isEmpty())
                return real;
        }
        return trimmed;
    }

    RequestResult transferAll(Prompter &prompter,
        const FileSystemSeams &seams,
        Verb verb,
        const QList<QByteArray> &sourcesIn,
        const QList<QByteArray> &targetsIn)
    {
        Request request(prompter, verb, {}, seams);
        const auto n = static_cast<std::size_t>(sourcesIn.size());
        if (sourcesIn.size() != targetsIn.size())
            return {false, false, std::vector<ItemStatus>(n, ItemStatus::Failed), {}};
        QList<QByteArray> sources;
        QList<QByteArray> targets;
        for (qsizetype i = 0; i < sourcesIn.size(); ++i) {
            sources.append(sourcePath(sourcesIn[i]));
            targets.append(bytes(trimTrailingSlashes(view(targetsIn[i]))));
        }
        qint64 total = 0;
        for (qsizetype i = 0; i < sources.size(); ++i) {
            // Within one file system a move is a rename: one unit. Otherwise every byte counts.
            const dev_t from = deviceOf(sources[i], false);
            const bool renames =
                verb == Verb::Move && from != 0 && from == deviceOf(parentPath(targets[i]), true);
            total += renames ? 1 : copyWork(sources[i]);
        }
        request.start(verb == Verb::Copy ? QStringLiteral("コピーしています")
                                         : QStringLiteral("移動しています"),
            total);
        std::vector<ItemStatus> items;
        items.reserve(n);
        for (qsizetype i = 0; i < sources.size(); ++i) {
            request.setMore(i + 1 < sources.size());
            items.push_back(request.cancelled() ? ItemStatus::NotReached
                                                : request.transfer(sources[i], targets[i]));
        }
        return finish(request, std::move(items));
    }

} // namespace

// Renames without ever replacing (see fileoperations.h): renameat2(RENAME_NOREPLACE), and where the
// file system refuses that flag, link() + unlink() for files (link fails on an existing name too).
// Only where neither works (a folder, or no hard links) is an existence check followed by a plain
// rename, which a name appearing in between could still be lost to.
int renameNoReplace(const QByteArray &from, const QByteArray &to, bool isFolder)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (!isFolder) {
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) == 0)
                return 0;
            const int error = errno;
            ::unlink(to.constData());
            errno = error;
            return -1;
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
            return -1;
    }
    struct stat st
    {
    };
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.constData(), to.constData());
}

FileOperations::FileOperations(Prompter &prompter, FileSystemSeams seams)
    : m_prompter(prompter)
    , m_seams(std::move(seams))
{}

RequestResult FileOperations::copy(
    const QList<QByteArray> &sources, const QList<QByteArray> &targets)
{
    return transferAll(m_prompter, m_seams, Verb::Copy, sources, targets);
}

RequestResult FileOperations::move(
    const QList<QByteArray> &sources, const QList<QByteArray> &targets)
{
    return transferAll(m_prompter, m_seams, Verb::Move, sources, targets);
}

RequestResult FileOperations::rename(const QByteArray &pathIn, const QByteArray &newName)
{
    Request request(m_prompter, Verb::Rename, newName);
    auto result = [&](ItemStatus s) {
        return finish(request, {s});
    };
    const QByteArray path = bytes(trimTrailingSlashes(view(pathIn)));
    if (const NameProblem problem = checkNewName(view(newName)); problem != NameProblem::None)
        return result(request.fail(path, nameProblemText(problem)));
    if (checkNewName(lastComponent(view(path))) != NameProblem::None)
        return result(request.fail(path, QStringLiteral("この場所の名前は変更できません。")));
    const QByteArray target = join(parentPath(path), newName);
    const Entry s = inspect(path);
    if (s.kind == EntryKind::Missing)
        return result(request.failErrno(path, ENOENT));
    if (target == path)
        return result(ItemStatus::Done);
    const Entry t = inspect(target);
    // On a file system that ignores case, "a.jpg" is the entry "A.JPG" itself: a plain rename
    // changes its case and replaces nothing. Another name of the same entry (a hard link, even
    // one that differs in case only) is an existing name: the folder lists it as it is, and
    // rename would leave both names and report success.
    QList<QByteArray> names;
    const bool same = isSameEntry(s, t)
        && QString::compare(QFile::decodeName(bytes(lastComponent(view(path)))),
               QFile::decodeName(newName),
               Qt::CaseInsensitive)
            == 0
        && folderNames(parentPath(path), names) && !names.contains(newName);
    if (t.kind != EntryKind::Missing && !same)
        return result(request.failErrno(path, EEXIST));
    const int rc = same ? std::rename(path.constData(), target.constData())
                        : renameNoReplace(path, target, s.kind == EntryKind::Folder);
    if (rc != 0)
        return result(request.failErrno(path, errno == ENOTEMPTY ? EEXIST : errno));
    return result(ItemStatus::Done);
}

QList<QByteArray> FileOperations::targetsIn(
    const QByteArray &folder, const QList<QByteArray> &sources)
{
    QList<QByteArray> targets;
    targets.reserve(sources.size());
    // No folder is no target: joined to a name it would address the root.
    for (const QByteArray &s : sources)
        targets.append(
            folder.isEmpty() ? QByteArray() : join(folder, bytes(lastComponent(view(s)))));
    return targets;
}

} // namespace morvane::files
