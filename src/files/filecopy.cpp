// SPDX-License-Identifier: GPL-3.0-or-later
// Copying one file: its data with its holes, a link as a link, owner, bits and times, under a
// temporary name that the finished copy gives up for its own.
#include "files/fileoperations_p.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace morvane::files::detail {

namespace {

    void syncFolder(const QByteArray &folder)
    {
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

} // namespace

int Request::flush(int fd)
{
    if (const int error = m_seams.flushError ? m_seams.flushError() : 0) {
        errno = error;
        return -1;
    }
    return ::fsync(fd);
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
            && ::flock(file.fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.constData(), &named) == 0
            && isSameFile(held, named))
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

// Copies the bytes from `pos` up to `end` of `in` to the same place in `out`, in pieces the
// size of `buffer`; `pos` follows. Done, or NotReached on a cancel, or the failure reported.
ItemStatus Request::copyExtent(
    int in, int out, off_t &pos, off_t end, std::vector<char> &buffer, const QByteArray &source)
{
    while (pos < end) {
        const auto want =
            static_cast<std::size_t>(std::min<off_t>(end - pos, static_cast<off_t>(buffer.size())));
        const ssize_t got = ::pread(in, buffer.data(), want, pos);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failErrno(source, errno);
        if (got == 0)
            return fail(source, QStringLiteral("コピーの途中でファイルの大きさが変わりました。"));
        for (ssize_t put = 0; put < got;) {
            const ssize_t n =
                ::pwrite(out, buffer.data() + put, static_cast<size_t>(got - put), pos + put);
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
    return ItemStatus::Done;
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
        pos = data;
        if (const ItemStatus copied = copyExtent(in, out, pos, end, buffer, source);
            copied != ItemStatus::Done)
            return copied;
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
    const ssize_t n = ::readlink(source.constData(), link.data(), static_cast<size_t>(link.size()));
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

} // namespace morvane::files::detail
