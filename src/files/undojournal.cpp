// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/undojournal.h"

#include "files/fileoprules.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

namespace {

    constexpr const char *kJournalName = "journal";
    constexpr const char *kRunsName = "runs";

    QByteArray in(const QByteArray &folder, const QByteArray &name)
    {
        return QByteArray::fromStdString(joinPath(folder.toStdString(), name.toStdString()));
    }

    QString failure(const QByteArray &path, int error)
    {
        return QStringLiteral("元に戻すための記録「%1」を書けませんでした。\n%2")
            .arg(QFile::decodeName(path), QString::fromStdString(reasonText(error)));
    }

    bool fail(QString *error, const QByteArray &path, int code)
    {
        if (error != nullptr)
            *error = failure(path, code);
        return false;
    }

    bool makeFolder(const QByteArray &path)
    {
        return QDir().mkpath(QFile::decodeName(path));
    }

    void syncFolder(const QByteArray &folder)
    {
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    bool writeAll(int fd, std::string_view data)
    {
        while (!data.empty()) {
            const ssize_t n = ::write(fd, data.data(), data.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = ENOSPC;
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    std::string readAll(const QByteArray &path)
    {
        std::string text;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return text;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return text;
    }

    // Holds the folder's lock file exclusively while it lives.
    class FolderLock
    {
    public:
        explicit FolderLock(const QByteArray &folder)
            : m_fd(::open(in(folder, "lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
        {
            if (m_fd >= 0) {
                while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {}
            }
        }
        ~FolderLock()
        {
            if (m_fd >= 0)
                ::close(m_fd); // releases the lock
        }
        FolderLock(const FolderLock &) = delete;
        FolderLock &operator=(const FolderLock &) = delete;

    private:
        int m_fd;
    };

    std::string textOf(const std::vector<journal::Entry> &entries, std::size_t first)
    {
        std::string text;
        for (std::size_t i = first; i < entries.size(); ++i)
            text += journal::encodeEntry(entries[i]);
        return text;
    }

} // namespace

UndoJournal::UndoJournal(QByteArray folder)
    : m_folder(std::move(folder))
{}

QByteArray UndoJournal::defaultFolder()
{
    QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.startsWith('/'))
        state = QFile::encodeName(QDir::homePath()) + "/.local/state";
    return in(state, "morvane");
}

bool UndoJournal::rewrite(const std::string &text, QString *error)
{
    // A new file renamed over the old one: at every moment one of the two is whole.
    const QByteArray path = in(m_folder, kJournalName);
    const QByteArray temporary = path + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, path, errno);
    if (!writeAll(fd, text) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(error, path, code);
    }
    if (::close(fd) != 0 || ::rename(temporary.constData(), path.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(error, path, code);
    }
    syncFolder(m_folder);
    return true;
}

bool UndoJournal::append(const journal::Entry &entry, QString *error)
{
    const QByteArray path = in(m_folder, kJournalName);
    if (!makeFolder(m_folder))
        return fail(error, path, errno);
    const FolderLock lock(m_folder);
    const std::string old = readAll(path);
    const journal::Parsed parsed = journal::parseJournal(old);
    const std::string line = journal::encodeEntry(entry);
    if (parsed.entries.size() >= kMaxEntries)
        return rewrite(
            textOf(parsed.entries, parsed.entries.size() + 1 - kMaxEntries) + line, error);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, path, errno);
    // A torn last line is cut off first, so that the new line does not continue it.
    const auto good = static_cast<off_t>(parsed.goodEnd);
    bool ok = (good == static_cast<off_t>(old.size()) || ::ftruncate(fd, good) == 0)
        && writeAll(fd, line) && ::fsync(fd) == 0;
    const int code = errno;
    if (!ok && ::ftruncate(fd, good) == 0)
        ::fsync(fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        return fail(error, path, code);
    if (old.empty())
        syncFolder(m_folder);
    return true;
}

std::vector<journal::Entry> UndoJournal::entries() const
{
    return journal::parseJournal(readAll(in(m_folder, kJournalName))).entries;
}

std::optional<journal::Entry> UndoJournal::takeLast(QString *error)
{
    if (!makeFolder(m_folder))
        return std::nullopt;
    const FolderLock lock(m_folder);
    std::vector<journal::Entry> all =
        journal::parseJournal(readAll(in(m_folder, kJournalName))).entries;
    if (all.empty())
        return std::nullopt;
    journal::Entry last = std::move(all.back());
    all.pop_back();
    if (!rewrite(textOf(all, 0), error))
        return std::nullopt;
    return last;
}

bool UndoJournal::writeIntent(const QByteArray &tag, const journal::Entry &record, QString *error)
{
    const QByteArray runs = in(m_folder, kRunsName);
    const QByteArray path = in(runs, tag);
    if (!makeFolder(runs))
        return fail(error, path, errno);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, path, errno);
    const bool ok = writeAll(fd, journal::encodeEntry(record)) && ::fsync(fd) == 0;
    const int code = errno;
    if (::close(fd) != 0 || !ok) {
        ::unlink(path.constData());
        return fail(error, path, ok ? errno : code);
    }
    syncFolder(runs);
    syncFolder(m_folder);
    return true;
}

void UndoJournal::removeIntent(const QByteArray &tag)
{
    const QByteArray runs = in(m_folder, kRunsName);
    if (::unlink(in(runs, tag).constData()) == 0)
        syncFolder(runs);
}

std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> UndoJournal::intents() const
{
    std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> out;
    const QByteArray runs = in(m_folder, kRunsName);
    DIR *dir = ::opendir(runs.constData());
    if (dir == nullptr)
        return out;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray tag(e->d_name);
        if (tag == "." || tag == "..")
            continue;
        std::string text = readAll(in(runs, tag));
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        out.emplace_back(tag, journal::decodeEntry(text));
    }
    ::closedir(dir);
    return out;
}

journal::Stamp stampOf(const QByteArray &path)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0)
        return {};
    return {st.st_size,
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
        st.st_ino};
}

} // namespace morvane::files
