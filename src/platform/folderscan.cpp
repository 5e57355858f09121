// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/folderscan.h"

#include "platform/cp932.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>

namespace morvane::platform {

QString captionOfName(const QByteArray &nativeName)
{
    if (const auto text = cp932Reading(std::string_view(nativeName.constData(), nativeName.size())))
        return QString::fromStdString(*text);
    return QFile::decodeName(nativeName);
}

QByteArray realPath(const QByteArray &path)
{
    char *r = ::realpath(path.constData(), nullptr);
    if (r == nullptr)
        return {};
    QByteArray out(r);
    std::free(r); // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    return out;
}

QByteArray joinNative(const QByteArray &folderNative, const QByteArray &nativeName)
{
    if (folderNative.endsWith('/'))
        return folderNative + nativeName;
    return folderNative + '/' + nativeName;
}

std::vector<FolderEntry> scanFolder(const QByteArray &folderNative)
{
    std::vector<FolderEntry> entries;
    // readdir rather than QDir: it keeps the names' own bytes (QString cannot carry a name that
    // is not UTF-8 back to the file system) and the order the file system returns them in.
    const QByteArray folder = folderNative.isEmpty() ? QByteArray("/") : folderNative;
    DIR *dir = opendir(folder.constData());
    if (dir == nullptr)
        return entries;
    const int dfd = dirfd(dir);
    while (const dirent *e = readdir(dir)) {
        const QByteArray nativeName(e->d_name);
        if (nativeName == "." || nativeName == "..")
            continue;
        struct stat st
        {
        };
        if (fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        FolderEntry entry;
        entry.nativeName = nativeName;
        entry.name = captionOfName(nativeName);
        entry.size = static_cast<std::int64_t>(st.st_size);
        entry.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        entry.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        entry.inode = static_cast<std::uint64_t>(st.st_ino);
        std::tm local {};
        const time_t t = st.st_mtim.tv_sec;
        if (localtime_r(&t, &local) != nullptr) {
            entry.year = local.tm_year + 1900;
            entry.month = local.tm_mon + 1;
            entry.day = local.tm_mday;
            entry.hour = local.tm_hour;
            entry.minute = local.tm_min;
            entry.second = local.tm_sec;
        }
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    return entries;
}

std::vector<std::string> entryNames(const QByteArray &folderNative)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folderNative.isEmpty() ? "/" : folderNative.constData());
    if (dir == nullptr)
        return names;
    while (const dirent *e = readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    closedir(dir);
    return names;
}

bool isGone(const QByteArray &nativePath)
{
    struct stat st
    {
    };
    return ::stat(nativePath.constData(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

} // namespace morvane::platform
