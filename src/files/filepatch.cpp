// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/filepatch.h"

#include "files/fileoprules.h"
#include "files/undojournal.h"
#include "platform/fdio.h"

#include <QFile>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

namespace {

    QString failure(const QByteArray &path, int error)
    {
        return QStringLiteral("「%1」を書き換えられませんでした。\n%2")
            .arg(QFile::decodeName(path), QString::fromStdString(reasonText(error)));
    }

    // The whole of the open file `fd` of `size` bytes, or false.
    bool readAll(int fd, qint64 size, QByteArray &out)
    {
        out.resize(size);
        return platform::readAllAt(fd, out.data(), std::size_t(size), 0);
    }

    // Writes `bytes` as a new file beside `path` with the facts of `st`, then renames it over
    // `path`; errno tells a failure, after which the temporary file is gone.
    bool replaceWith(const QByteArray &path, const struct stat &st, const QByteArray &bytes)
    {
        const std::string whole = path.toStdString();
        const std::string folder(parentOf(whole));
        QByteArray temp = QByteArray::fromStdString(
            joinPath(folder, "." + std::string(lastComponent(whole)) + ".XXXXXX"));
        const int fd = ::mkstemp(temp.data());
        if (fd < 0)
            return false;
        // The owner is kept where the user may set it; the mode after it, as chown may clear
        // the set-id bits.
        (void)::fchown(fd, st.st_uid, st.st_gid);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        bool ok = ::fchmod(fd, st.st_mode & 07777) == 0
            && platform::writeAll(fd, {bytes.constData(), std::size_t(bytes.size())})
            && ::fsync(fd) == 0 && ::futimens(fd, times) == 0;
        int saved = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            saved = errno;
        }
        if (ok && ::rename(temp.constData(), path.constData()) == 0) {
            // The rename itself reaches the disk with its folder.
            const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dir >= 0) {
                (void)::fsync(dir);
                ::close(dir);
            }
            return true;
        }
        saved = ok ? errno : saved;
        ::unlink(temp.constData());
        errno = saved;
        return false;
    }

} // namespace

bool patchFile(const QByteArray &path,
    std::uint64_t pos,
    const QByteArray &before,
    const QByteArray &after,
    QString *error)
{
    return patchFile(path, {{pos, before.toStdString(), after.toStdString()}}, error);
}

bool patchFile(const QByteArray &path, const std::vector<journal::Patch> &patches, QString *error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st
    {
    };
    QByteArray bytes;
    const bool read =
        fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readAll(fd, st.st_size, bytes);
    const int readError = fd < 0 || S_ISREG(st.st_mode) ? errno : EINVAL;
    if (fd >= 0)
        ::close(fd);
    if (!read) {
        if (error != nullptr)
            *error = failure(path, readError);
        return false;
    }
    // All are checked before any is made; made from the last, the positions of the others hold.
    std::uint64_t end = 0;
    for (const journal::Patch &p : patches) {
        const auto size = std::uint64_t(bytes.size());
        if (p.pos < end || p.pos > size || size - p.pos < p.before.size()
            || bytes.mid(qsizetype(p.pos), qsizetype(p.before.size())).toStdString() != p.before) {
            if (error != nullptr)
                *error = QStringLiteral("「%1」は予期した内容ではないため、書き換えませんでした。")
                             .arg(QFile::decodeName(path));
            return false;
        }
        end = p.pos + p.before.size();
    }
    for (auto p = patches.rbegin(); p != patches.rend(); ++p)
        bytes.replace(
            qsizetype(p->pos), qsizetype(p->before.size()), QByteArray::fromStdString(p->after));
    if (!replaceWith(path, st, bytes)) {
        if (error != nullptr)
            *error = failure(path, errno);
        return false;
    }
    return true;
}

int journaledPatches(Prompter &prompter, const char *action, const QList<PatchRequest> &requests)
{
    journal::Entry entry {static_cast<std::int64_t>(std::time(nullptr)), action, {}};
    QString error;
    for (const PatchRequest &r : requests) {
        if (!patchFile(r.path, r.patches, &error)) {
            prompter.reportError(error);
            continue;
        }
        entry.items.push_back({journal::Op::Patch,
            {},
            r.path.toStdString(),
            journal::encodePatches(r.patches),
            stampOf(r.path)});
    }
    if (!entry.items.empty() && !UndoJournal(UndoJournal::defaultFolder()).append(entry, &error))
        prompter.reportError(error);
    return static_cast<int>(entry.items.size());
}

} // namespace morvane::files
