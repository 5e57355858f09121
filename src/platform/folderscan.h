// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace morvane::platform {

// One regular file of a folder, as the enumeration reports it.
struct FolderEntry
{
    QByteArray nativeName; // the name's bytes as the file system holds them (maybe not UTF-8)
    QString name; // the name for display, captionOfName(nativeName)
    std::int64_t size = 0; // bytes
    // Last-write time as local civil time (seconds are not yet cut to the two-second stamp).
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // What tells a changed file (the thumbnail cache's validity): times in ns since the epoch.
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    std::uint64_t inode = 0;
};

// The regular files of `folderNative` (symlinks to files followed; directories, sockets, fifos,
// devices and broken links skipped; dot-files included), in the order the file system returns
// them. A folder that cannot be read gives an empty list; an entry that vanishes or cannot be
// examined while the folder is read is skipped. Any thread; reads no window state.
[[nodiscard]] std::vector<FolderEntry> scanFolder(const QByteArray &folderNative);

// The names of every entry of `folderNative` (files, folders, links, anything; not "." and ".."),
// as the file system holds their bytes: the names a new name must not take. Empty when the folder
// cannot be read. Any thread.
[[nodiscard]] std::vector<std::string> entryNames(const QByteArray &folderNative);

// The caption of a file name: its UTF-8 reading; for bytes that are not UTF-8 but are code page
// 932 text (archives made on Japanese Windows), that text; otherwise the UTF-8 reading with
// U+FFFD for the bytes that are not UTF-8. Any thread.
[[nodiscard]] QString captionOfName(const QByteArray &nativeName);

// The absolute path of `path` with every link, "." and ".." resolved; empty when some part of it
// does not exist or cannot be read. Any thread.
[[nodiscard]] QByteArray realPath(const QByteArray &path);

// The native path of a file of a folder: `folderNative` + "/" + `nativeName` (one separator
// only after the root "/").
[[nodiscard]] QByteArray joinNative(const QByteArray &folderNative, const QByteArray &nativeName);

// True when nothing stands at `nativePath` any more (a symlink counts by what it points to): it
// was removed, renamed or moved. A path that cannot be examined for another reason (no access)
// is not gone. Any thread.
[[nodiscard]] bool isGone(const QByteArray &nativePath);

} // namespace morvane::platform
