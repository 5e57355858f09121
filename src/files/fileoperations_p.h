// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the file operations' sources share and nothing else uses: the Request that carries one
// request through its items (its verb, the consent to replace, the progress and the cancel), the
// facts of an entry on disk, the temporary file of a copy and the native path helpers.

#include "files/fileoperations.h"

#include <QFile>
#include <QSet>

#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files::detail {

enum class Verb { Copy, Move, Delete, Rename };

inline QByteArray bytes(std::string_view s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string_view view(const QByteArray &b)
{
    return {b.constData(), static_cast<std::size_t>(b.size())};
}

inline QByteArray parentPath(const QByteArray &p)
{
    return bytes(parentOf(view(p)));
}

inline QByteArray join(const QByteArray &folder, const QByteArray &name)
{
    return QByteArray::fromStdString(joinPath(view(folder), view(name)));
}

inline QString shown(const QByteArray &path)
{
    return QFile::decodeName(path);
}

inline QString reason(int error)
{
    return QString::fromStdString(reasonText(error));
}

// "「path」をコピーできませんでした。" and the reason on a line of its own; a rename names
// the new name too.
QString failureText(
    Verb verb, const QByteArray &path, const QByteArray &newName, const QString &why);

struct Entry
{
    EntryKind kind = EntryKind::Missing;
    struct stat st
    {
    };
};

// The entry at `path` itself (lstat), a link not followed.
Entry inspect(const QByteArray &path);

// True for a folder or a link to one: the folder a target is put into.
bool isFolder(const QByteArray &path);

inline bool isSameEntry(const Entry &a, const Entry &b)
{
    return a.kind != EntryKind::Missing && b.kind != EntryKind::Missing
        && a.st.st_dev == b.st.st_dev && a.st.st_ino == b.st.st_ino;
}

inline bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The names in a folder, without "." and "..". Empty with errno set when it cannot be read.
bool folderNames(const QByteArray &folder, QList<QByteArray> &names);

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
    ItemStatus failErrno(const QByteArray &path, int error) { return fail(path, reason(error)); }

    ItemStatus transfer(const QByteArray &source, const QByteArray &target);
    ItemStatus removeOne(const QByteArray &path, QByteArray &trashedAs);

private:
    [[nodiscard]] ItemFacts factsOf(const QByteArray &source,
        const QByteArray &target,
        const QByteArray &targetFolder,
        const Entry &s,
        const Entry &t) const;
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
    ItemStatus copyExtent(int in,
        int out,
        off_t &pos,
        off_t end,
        std::vector<char> &buffer,
        const QByteArray &source);
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

// The result of `request` with the status of each of its items.
RequestResult finish(const Request &request, std::vector<ItemStatus> items);

} // namespace morvane::files::detail
