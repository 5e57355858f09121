// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/undojournal.h"

#include "files/fileoprules.h"
#include "platform/fdio.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

namespace {

    using platform::writeAll;

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

    bool notOurs(QString *error, const QByteArray &path)
    {
        if (error != nullptr) {
            *error = QStringLiteral("「%1」は元に戻すための記録ではないため、読み書きしません。"
                                    "元に戻す機能は使えません（ファイルはそのままです）。")
                         .arg(QFile::decodeName(path));
        }
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

    bool readFd(int fd, std::string &text)
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                return true;
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    enum class Found { Ours, Missing, NotOurs };

    // Reads the journal or a run record at `path`: never through a link, never anything but a
    // regular file, and only text that is a journal (see journal::isJournalText). Any other
    // file is left untouched by its callers, whatever it holds.
    Found readRecord(const QByteArray &path, std::string &text)
    {
        text.clear();
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return errno == ENOENT ? Found::Missing : Found::NotOurs;
        struct stat st
        {
        };
        const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readFd(fd, text);
        ::close(fd);
        return ok && journal::isJournalText(text) ? Found::Ours : Found::NotOurs;
    }

    // Holds the folder's lock file exclusively while it lives.
    class FolderLock
    {
    public:
        explicit FolderLock(const QByteArray &folder)
            : m_fd(::open(in(folder, "lock").constData(),
                O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                0600))
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

    // Takes the lock of a run record without waiting; false when a live run holds it.
    bool lockNow(int fd)
    {
        int rc = 0;
        while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {}
        return rc == 0;
    }

} // namespace

UndoJournal::UndoJournal(QByteArray folder)
    : m_folder(std::move(folder))
{}

UndoJournal::~UndoJournal()
{
    for (const auto &[tag, fd] : m_held)
        ::close(fd);
}

QByteArray UndoJournal::defaultFolder()
{
    QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.startsWith('/'))
        state = QFile::encodeName(QDir::homePath()) + "/.local/state";
    return in(state, "morvane");
}

int UndoJournal::flush(int fd) const
{
    if (m_flushError) {
        if (const int code = m_flushError()) {
            errno = code;
            return -1;
        }
    }
    return ::fsync(fd);
}

bool UndoJournal::rewrite(const std::string &text, QString *error)
{
    // A new file renamed over the old one: at every moment one of the two is whole. The new file
    // is made afresh (never opened through a link left at its name).
    const QByteArray path = in(m_folder, kJournalName);
    const QByteArray temporary = path + ".new";
    ::unlink(temporary.constData());
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, path, errno);
    if (!writeAll(fd, text) || flush(fd) != 0) {
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
    std::string old;
    if (readRecord(path, old) == Found::NotOurs)
        return notOurs(error, path);
    const journal::Parsed parsed = journal::parseJournal(old);
    const std::string line = journal::encodeEntry(entry);
    if (parsed.entries.size() >= kMaxEntries)
        return rewrite(
            textOf(parsed.entries, parsed.entries.size() + 1 - kMaxEntries) + line, error);
    const int fd = ::open(path.constData(),
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
        0600);
    struct stat st
    {
    };
    if (fd >= 0
        && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
            || st.st_size != static_cast<off_t>(old.size()))) {
        ::close(fd);
        return notOurs(error, path); // replaced since it was read
    }
    if (fd < 0)
        return errno == ELOOP ? notOurs(error, path) : fail(error, path, errno);
    // A torn last line is cut off first, so that the new line does not continue it.
    const auto good = static_cast<off_t>(parsed.goodEnd);
    bool ok = (good == static_cast<off_t>(old.size()) || ::ftruncate(fd, good) == 0)
        && writeAll(fd, line) && flush(fd) == 0;
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
    std::string text;
    if (readRecord(in(m_folder, kJournalName), text) != Found::Ours)
        return {};
    return journal::parseJournal(text).entries;
}

std::optional<journal::Entry> UndoJournal::last(QString *error) const
{
    const QByteArray path = in(m_folder, kJournalName);
    std::string text;
    if (readRecord(path, text) == Found::NotOurs) {
        notOurs(error, path);
        return std::nullopt;
    }
    std::vector<journal::Entry> all = journal::parseJournal(text).entries;
    if (all.empty())
        return std::nullopt;
    return std::move(all.back());
}

bool UndoJournal::replace(
    const journal::Entry &was, const std::optional<journal::Entry> &now, QString *error)
{
    const QByteArray path = in(m_folder, kJournalName);
    if (!makeFolder(m_folder))
        return fail(error, path, errno);
    const FolderLock lock(m_folder);
    std::string text;
    if (readRecord(path, text) == Found::NotOurs)
        return notOurs(error, path);
    std::vector<journal::Entry> all = journal::parseJournal(text).entries;
    // The newest copy of `was`: another process may have appended since it was read.
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (*it != was)
            continue;
        if (now)
            *it = *now;
        else
            all.erase(std::next(it).base());
        return rewrite(textOf(all, 0), error);
    }
    return true; // taken out by another process meanwhile
}

std::optional<journal::Entry> UndoJournal::takeLast(QString *error)
{
    std::optional<journal::Entry> entry = last(error);
    if (entry && !replace(*entry, std::nullopt, error))
        return std::nullopt;
    return entry;
}

QByteArray UndoJournal::newTag()
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    return QByteArray::number(static_cast<qulonglong>(random()), 16)
        + QByteArray::number(static_cast<qulonglong>(::getpid()));
}

bool UndoJournal::writeIntent(const QByteArray &tag, const journal::Entry &record, QString *error)
{
    // Written under a dot name, locked, flushed and only then given its tag: recovery never sees
    // a record being written, and skips the record of a run that is still alive (its lock held
    // until removeIntent).
    const QByteArray runs = in(m_folder, kRunsName);
    const QByteArray path = in(runs, tag);
    const QByteArray writing = in(runs, '.' + tag);
    if (!makeFolder(runs))
        return fail(error, path, errno);
    const int fd =
        ::open(writing.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, path, errno);
    const bool ok = lockNow(fd) && writeAll(fd, journal::encodeEntry(record)) && flush(fd) == 0
        && ::rename(writing.constData(), path.constData()) == 0;
    if (!ok) {
        const int code = errno;
        ::unlink(writing.constData());
        ::close(fd);
        return fail(error, path, code);
    }
    m_held[tag] = fd;
    syncFolder(runs);
    syncFolder(m_folder);
    return true;
}

void UndoJournal::removeIntent(const QByteArray &tag)
{
    const QByteArray runs = in(m_folder, kRunsName);
    if (::unlink(in(runs, tag).constData()) == 0)
        syncFolder(runs);
    releaseIntent(tag); // after the unlink: no other process takes the record meanwhile
}

void UndoJournal::releaseIntent(const QByteArray &tag)
{
    if (const auto held = m_held.find(tag); held != m_held.end()) {
        ::close(held->second);
        m_held.erase(held);
    }
}

std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> UndoJournal::intents()
{
    std::vector<std::pair<QByteArray, std::optional<journal::Entry>>> out;
    const QByteArray runs = in(m_folder, kRunsName);
    DIR *dir = ::opendir(runs.constData());
    if (dir == nullptr)
        return out;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray tag(e->d_name);
        if (tag == "." || tag == ".." || m_held.count(tag) != 0)
            continue;
        const QByteArray path = in(runs, tag);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        std::string text;
        // A record may have been cut short while written: empty, or a line begun.
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !lockNow(fd) || !readFd(fd, text)
            || !(text.empty() || journal::startsAsEntry(text))) {
            ::close(fd); // a live run's record, or no record of ours: left alone
            continue;
        }
        m_held[tag] = fd; // until removeIntent: no other recovery takes the same run
        if (tag.startsWith('.')) {
            out.emplace_back(tag, std::nullopt); // its run was killed before it began
            continue;
        }
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
