// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/fileoperations.h"

#include "files/trash.h"
#include "platform/folderscan.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

void Prompter::progressStarted(const QString &, qint64) {}

bool Prompter::progressed(qint64, const QByteArray &)
{
    return true;
}

void Prompter::progressFinished() {}

namespace {

    enum class Verb { Copy, Move, Delete, Rename };

    QByteArray bytes(std::string_view s)
    {
        return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
    }

    std::string_view view(const QByteArray &b)
    {
        return {b.constData(), static_cast<std::size_t>(b.size())};
    }

    QByteArray parentPath(const QByteArray &p)
    {
        return bytes(parentOf(view(p)));
    }

    QByteArray join(const QByteArray &folder, const QByteArray &name)
    {
        return QByteArray::fromStdString(joinPath(view(folder), view(name)));
    }

    QString shown(const QByteArray &path)
    {
        return QFile::decodeName(path);
    }

    QString reason(int error)
    {
        return QString::fromStdString(reasonText(error));
    }

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

    struct Entry
    {
        EntryKind kind = EntryKind::Missing;
        struct stat st
        {
        };
    };

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

    dev_t deviceOf(const QByteArray &path, bool follow)
    {
        struct stat st
        {
        };
        const int rc = follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
        return rc == 0 ? st.st_dev : 0;
    }

    bool isSameEntry(const Entry &a, const Entry &b)
    {
        return a.kind != EntryKind::Missing && b.kind != EntryKind::Missing
            && a.st.st_dev == b.st.st_dev && a.st.st_ino == b.st.st_ino;
    }

    bool isSameFile(const struct stat &a, const struct stat &b)
    {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }

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

    void syncFolder(const QByteArray &folder)
    {
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
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

    // Closes and removes an unfinished copy unless it was given its name. `lock` holds the
    // file's lock until then, after `fd` is closed.
    struct TempFile
    {
        QByteArray path;
        int fd = -1;
        int lock = -1;
        TempFile() = default;
        TempFile(const TempFile &) = delete;
        TempFile &operator=(const TempFile &) = delete;
        ~TempFile()
        {
            if (fd >= 0)
                ::close(fd);
            if (!path.isEmpty())
                ::unlink(path.constData());
            if (lock >= 0)
                ::close(lock);
        }
        void placed() { path.clear(); }
    };

    struct FdCloser
    {
        int fd;
        ~FdCloser()
        {
            if (fd >= 0)
                ::close(fd);
        }
    };

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

    // One request: the verb, the consent to replace, the progress and the cancel.
    class Request
    {
    public:
        Request(Prompter &prompter,
            Verb verb,
            QByteArray newName = {},
            const FileSystemSeams &seams = FileSystemSeams())
            : m_prompter(prompter)
            , m_verb(verb)
            , m_newName(std::move(newName))
            , m_seams(seams)
        {}
        ~Request()
        {
            if (m_started)
                m_prompter.progressFinished();
        }
        Request(const Request &) = delete;
        Request &operator=(const Request &) = delete;

        void start(const QString &title, qint64 total)
        {
            m_started = true;
            m_prompter.progressStarted(title, total);
        }

        [[nodiscard]] bool cancelled() const { return m_cancelled; }
        void setMore(bool more) { m_more = more; }

        // Counts `amount` of work done on `current`; false once the user has cancelled.
        bool advance(qint64 amount, const QByteArray &current)
        {
            m_done += amount;
            if (m_started && !m_cancelled && !m_prompter.progressed(m_done, current))
                m_cancelled = true;
            return !m_cancelled;
        }

        ItemStatus fail(const QByteArray &path, const QString &why)
        {
            m_prompter.reportError(failureText(m_verb, path, m_newName, why));
            return ItemStatus::Failed;
        }
        ItemStatus failErrno(const QByteArray &path, int error)
        {
            return fail(path, reason(error));
        }

        ItemStatus transfer(const QByteArray &source, const QByteArray &target);
        ItemStatus removeOne(const QByteArray &path, QByteArray &trashedAs);

    private:
        ItemStatus askReplace(const QByteArray &source, const QByteArray &target, bool &replace);
        ItemStatus place(
            const QByteArray &source, const Entry &s, const QByteArray &target, bool replace);
        ItemStatus placeTemp(
            TempFile &temp, const QByteArray &source, const QByteArray &target, bool replace);
        ItemStatus copyFile(
            const QByteArray &source, const Entry &s, const QByteArray &target, bool replace);
        ItemStatus copyLink(
            const QByteArray &source, const Entry &s, const QByteArray &target, bool replace);
        ItemStatus moveAcross(
            const QByteArray &source, const Entry &s, const QByteArray &target, bool replace);
        ItemStatus intoFolder(
            const QByteArray &source, const Entry &s, const QByteArray &target, bool created);
        ItemStatus newFolder(const QByteArray &source, const Entry &s, const QByteArray &target);
        void finishFolder(const QByteArray &target, const Entry &s, ItemStatus status);
        ItemStatus copyData(int in, int out, off_t size, const QByteArray &source);
        QByteArray temporaryName(const QByteArray &folder);
        int openTemp(TempFile &temp, const QByteArray &folder);
        void sweepStaleCopies(const QByteArray &folder);
        bool listFolder(const QByteArray &folder, QList<QByteArray> &names);
        int flush(int fd);

        Prompter &m_prompter;
        Verb m_verb;
        QByteArray m_newName; // a rename's new name, for its messages
        ReplaceConsent m_consent;
        bool m_started = false;
        bool m_cancelled = false;
        bool m_more = false; // other top-level items follow the one at hand
        int m_depth = 0; // folders entered: inside one, other entries may follow
        qint64 m_done = 0;
        std::mt19937 m_random {std::random_device {}()};
        FileSystemSeams m_seams;
        std::set<std::pair<dev_t, ino_t>> m_created; // folders this request made
        QSet<QByteArray> m_swept; // folders already rid of killed runs' copies
    };

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
            return fail(
                source, QStringLiteral("デバイスや FIFO などの特殊なファイルは扱えません。"));
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

    ItemStatus Request::askReplace(
        const QByteArray &source, const QByteArray &target, bool &replace)
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

    ItemStatus Request::newFolder(
        const QByteArray &source, const Entry &s, const QByteArray &target)
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
        return intoFolder(source, s, target, true);
    }

    int Request::flush(int fd)
    {
        if (const int error = m_seams.flushError ? m_seams.flushError() : 0) {
            errno = error;
            return -1;
        }
        return ::fsync(fd);
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

    QByteArray Request::temporaryName(const QByteArray &folder)
    {
        std::uniform_int_distribution<std::size_t> pick(0, kTemporaryAlphabet.size() - 1);
        QByteArray name = bytes(kTemporaryPrefix);
        for (std::size_t i = 0; i < kTemporaryLetters; ++i)
            name += kTemporaryAlphabet[pick(m_random)];
        return join(folder, name + bytes(kTemporarySuffix));
    }

    // Removes the unfinished copies that killed runs left in `folder`. A request holds the lock
    // of its temporary file from its creation until it has its name, so one whose lock is free
    // belongs to no living request. Once per folder and request.
    void Request::sweepStaleCopies(const QByteArray &folder)
    {
        if (m_swept.contains(folder))
            return;
        m_swept.insert(folder);
        QList<QByteArray> names;
        if (!folderNames(folder, names))
            return;
        for (const QByteArray &n : std::as_const(names)) {
            if (!isTemporaryName(view(n)))
                continue;
            const QByteArray path = join(folder, n);
            const FdCloser file {
                ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
            struct stat held
            {
            };
            struct stat named
            {
            };
            if (file.fd >= 0 && ::fstat(file.fd, &held) == 0 && S_ISREG(held.st_mode)
                && ::flock(file.fd, LOCK_EX | LOCK_NB) == 0
                && ::lstat(path.constData(), &named) == 0 && isSameFile(held, named))
                ::unlink(path.constData());
        }
    }

    // Makes a new temporary file in `folder` and takes its lock. 0, or the errno of the failure.
    int Request::openTemp(TempFile &temp, const QByteArray &folder)
    {
        sweepStaleCopies(folder);
        for (int attempt = 0; attempt <= 100; ++attempt) {
            temp.path = temporaryName(folder);
            temp.fd = ::open(temp.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (temp.fd < 0) {
                const int error = errno;
                temp.path.clear();
                if (error != EEXIST)
                    return error;
                continue;
            }
            // A file system without locks keeps no lock here either: nothing sweeps it.
            if (::flock(temp.fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
                return 0;
            // Another request's sweep took the new file before its lock and removes it.
            ::close(temp.fd);
            temp.fd = -1;
            temp.path.clear();
        }
        return EEXIST;
    }

    // Copies the first `size` bytes of `in` to `out`, holes as holes: only the parts that hold
    // data are read and written, and the length is set last. Done, or the failure reported.
    ItemStatus Request::copyData(int in, int out, off_t size, const QByteArray &source)
    {
        std::vector<char> buffer(std::size_t {1} << 20);
        const auto changed = [&] {
            return fail(source, QStringLiteral("コピーの途中でファイルの大きさが変わりました。"));
        };
        off_t pos = 0;
        while (pos < size) {
            off_t data = ::lseek(in, pos, SEEK_DATA);
            off_t end = size;
            if (data < 0)
                data = errno == ENXIO ? size : pos; // a hole to the end; or no hole information
            else if (const off_t hole = ::lseek(in, data, SEEK_HOLE); hole >= 0)
                end = std::min(hole, size);
            data = std::min(data, size);
            if (data > pos && !advance(data - pos, source))
                return ItemStatus::NotReached;
            for (pos = data; pos < end;) {
                const auto want = static_cast<std::size_t>(
                    std::min<off_t>(end - pos, static_cast<off_t>(buffer.size())));
                const ssize_t got = ::pread(in, buffer.data(), want, pos);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0)
                    return failErrno(source, errno);
                if (got == 0)
                    return changed();
                for (ssize_t put = 0; put < got;) {
                    const ssize_t n = ::pwrite(
                        out, buffer.data() + put, static_cast<size_t>(got - put), pos + put);
                    if (n < 0 && errno == EINTR)
                        continue;
                    if (n <= 0)
                        return failErrno(source, n < 0 ? errno : EIO);
                    put += n;
                }
                pos += got;
                if (!advance(got, source))
                    return ItemStatus::NotReached;
            }
        }
        if (::ftruncate(out, size) != 0)
            return failErrno(source, errno);
        struct stat now
        {
        };
        if (::fstat(in, &now) != 0 || now.st_size != size)
            return changed();
        return ItemStatus::Done;
    }

    ItemStatus Request::copyFile(
        const QByteArray &source, const Entry &s, const QByteArray &target, bool replace)
    {
        if (S_ISLNK(s.st.st_mode))
            return copyLink(source, s, target, replace);
        const FdCloser in {::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
        struct stat st
        {
        };
        if (in.fd < 0 || ::fstat(in.fd, &st) != 0)
            return failErrno(source, errno);
        TempFile temp;
        if (const int error = openTemp(temp, parentPath(target)))
            return failErrno(source, error);
        if (const ItemStatus copied = copyData(in.fd, temp.fd, st.st_size, source);
            copied != ItemStatus::Done)
            return copied;
        // Permission bits and times are kept where the target's file system can hold them; one
        // that cannot (FAT has no modes) still gets the content. A move keeps owner and group
        // where the process may, as before a move across file systems; the bits come after it,
        // since a change of owner clears the set-id bits.
        if (m_verb == Verb::Move) [[maybe_unused]]
            const int owned = ::fchown(temp.fd, st.st_uid, st.st_gid);
        ::fchmod(temp.fd, st.st_mode & 0777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(temp.fd, times);
        if (flush(temp.fd) != 0)
            return failErrno(source, errno);
        temp.lock = ::dup(temp.fd); // the lock lasts until the copy has its name
        const int fd = temp.fd;
        temp.fd = -1;
        if (::close(fd) != 0)
            return failErrno(source, errno);
        return placeTemp(temp, source, target, replace);
    }

    ItemStatus Request::copyLink(
        const QByteArray &source, const Entry &s, const QByteArray &target, bool replace)
    {
        QByteArray link(static_cast<qsizetype>(s.st.st_size) + 1, '\0');
        const ssize_t n =
            ::readlink(source.constData(), link.data(), static_cast<size_t>(link.size()));
        if (n < 0)
            return failErrno(source, errno);
        if (n >= link.size())
            return fail(source, QStringLiteral("コピーの途中でファイルの大きさが変わりました。"));
        link.truncate(n);
        TempFile temp;
        const QByteArray folder = parentPath(target);
        for (int attempt = 0;; ++attempt) {
            temp.path = temporaryName(folder);
            if (::symlink(link.constData(), temp.path.constData()) == 0)
                break;
            if (errno != EEXIST || attempt > 100) {
                const int error = errno;
                temp.path.clear();
                return failErrno(source, error);
            }
        }
        if (m_verb == Verb::Move) {
            [[maybe_unused]] const int owned = ::fchownat(
                AT_FDCWD, temp.path.constData(), s.st.st_uid, s.st.st_gid, AT_SYMLINK_NOFOLLOW);
        }
        const timespec times[2] = {s.st.st_atim, s.st.st_mtim};
        ::utimensat(AT_FDCWD, temp.path.constData(), times, AT_SYMLINK_NOFOLLOW);
        advance(1, source);
        return placeTemp(temp, source, target, replace);
    }

    // Gives the finished copy `temp` its name `target`: over the old file in one rename when the
    // user agreed to replace it, otherwise only if the name is still free.
    ItemStatus Request::placeTemp(
        TempFile &temp, const QByteArray &source, const QByteArray &target, bool replace)
    {
        for (;;) {
            const int rc = replace ? std::rename(temp.path.constData(), target.constData())
                                   : renameNoReplace(temp.path, target, false);
            if (rc == 0)
                break;
            const int error = errno;
            if (error != EEXIST || replace)
                return failErrno(source, error);
            if (inspect(target).kind == EntryKind::Folder)
                return fail(source, QStringLiteral("行き先に同じ名前のフォルダーがあります。"));
            // A file took the name while the copy was written: ask as for any existing file.
            const ItemStatus answer = askReplace(source, target, replace);
            if (!replace)
                return answer;
        }
        temp.placed();
        syncFolder(parentPath(target));
        return advance(1, source) ? ItemStatus::Done : ItemStatus::NotReached;
    }

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
