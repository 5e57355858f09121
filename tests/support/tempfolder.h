// SPDX-License-Identifier: GPL-3.0-or-later
// Files and folders made in a temporary folder by native path (bytes), so tests can use names
// that are not UTF-8 and set time stamps exactly.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::test {

// The native path of `name` (bytes) inside `folder`.
inline QByteArray inFolder(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The native path of a temporary folder.
inline QByteArray nativeOf(const QTemporaryDir &dir)
{
    return QFile::encodeName(dir.path());
}

// Writes `contents` to the file `path`, replacing it. False on any failure.
inline bool writeFile(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < contents.size()) {
        const ssize_t n =
            ::write(fd, contents.constData() + done, static_cast<size_t>(contents.size() - done));
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += n;
    }
    return ::close(fd) == 0;
}

// A file of exactly `size` bytes of 'x'.
inline bool writeFileOfSize(const QByteArray &path, qsizetype size)
{
    return writeFile(path, QByteArray(size, 'x'));
}

inline bool makeFolder(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

// Sets the last-write time of `path` to the given local civil time.
inline bool setModified(
    const QByteArray &path, int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const time_t when = std::mktime(&t);
    if (when == static_cast<time_t>(-1))
        return false;
    const timespec times[2] = {{when, 0}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

// Removes everything inside the folder `path` (not the folder itself), by native names, so names
// that are not UTF-8 go too. Symlinks are removed, never followed.
inline bool removeContents(const QByteArray &path)
{
    auto remove = [](const char *p, const struct stat *, int, struct FTW *f) -> int {
        if (f->level == 0)
            return 0;
        return ::remove(p);
    };
    return ::nftw(path.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

// Every entry of the folder `path` by native name with its content (a folder: "<folder>"), so
// that a test compares a folder before and after byte for byte.
inline QMap<QByteArray, QByteArray> folderContents(const QByteArray &path)
{
    QMap<QByteArray, QByteArray> out;
    DIR *dir = ::opendir(path.constData());
    if (dir == nullptr)
        return out;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        // Opened by its bytes: a QString cannot carry every name that is not UTF-8.
        QFile file;
        const int fd = ::open(inFolder(path, name).constData(), O_RDONLY | O_CLOEXEC);
        struct stat st
        {
        };
        const bool isFile = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
            && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        out[name] = isFile ? file.readAll() : QByteArray("<folder>");
        if (fd >= 0 && !isFile)
            ::close(fd);
    }
    ::closedir(dir);
    return out;
}

} // namespace morvane::test
