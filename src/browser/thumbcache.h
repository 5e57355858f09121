// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/thumbcacheformat.h"
#include "browser/thumbform.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

namespace morvane {
class SettingsStore;
} // namespace morvane

namespace morvane::browser {

// Makes `folder` (native path) and the folders above it when missing, a folder it makes given to
// its owner alone (thumbnails show what the pictures show); an existing folder keeps its mode.
// False when it cannot be made, or it is a symbolic link.
[[nodiscard]] bool makePrivateFolder(const QByteArray &folder);

// A picture as the cache holds it: its box's compact form and its own size in pixels.
struct CachedPicture
{
    ThumbForm form;
    int fullWidth = 0;
    int fullHeight = 0;
};

// The thumbnail cache on disk: one file per picture, box size and JPEG scale in one folder,
// each holding the compact form the list draws its box from (see thumbcacheformat.h for the
// layout and validity). Entries are written under a temporary name and renamed, so a crash or a
// full disk leaves no entry that reads as valid; an entry that fails to read is a miss (and the
// build writes it again). Every failure of the folder (missing, read-only, full) is a miss or a
// write not done: the cache is never required. Bounded by a size limit with least-recently-used
// eviction (an entry's modification time is its last use).
//
// Threads: read() and write() from any thread, several at once; the rest from one thread.
class ThumbCache
{
public:
    // The cache in `folder` (native path, created on the first write), holding at most
    // `limitBytes` after each prune(); a limit of 0 turns reading and writing off.
    ThumbCache(QByteArray folder, std::int64_t limitBytes);

    // $XDG_CACHE_HOME/morvane/thumbnails, or ~/.cache/morvane/thumbnails when that is unset or
    // not absolute.
    [[nodiscard]] static QByteArray defaultFolder();

    // The size limit the settings give: key "CacheSize" of section "Option", in MiB (0: no
    // cache; missing or not a whole number: 512).
    [[nodiscard]] static std::int64_t limitIn(const SettingsStore &settings);

    [[nodiscard]] const QByteArray &folder() const noexcept { return m_folder; }
    // Why the cache is off for this object's life (its folder is a symbolic link), in Japanese;
    // empty when it is usable. Said once by the caller.
    [[nodiscard]] const QString &refusal() const noexcept { return m_refusal; }
    [[nodiscard]] std::int64_t limitBytes() const noexcept { return m_limit; }

    // The valid entry for `key` written for a file of `stamp`, or nullopt (none, stale, damaged,
    // unreadable). A hit marks the entry as used now.
    [[nodiscard]] std::optional<CachedPicture> read(const ThumbKey &key, const FileStamp &stamp);

    // Writes (or replaces) the entry for `key`. False when it could not be written; nothing is
    // left behind then.
    bool write(const ThumbKey &key, const FileStamp &stamp, const CachedPicture &picture);

    // Counts since construction: entries read, entries written.
    [[nodiscard]] std::int64_t reads() const noexcept { return m_reads.load(); }
    [[nodiscard]] std::int64_t writes() const noexcept { return m_writes.load(); }

    struct Usage
    {
        std::int64_t entries = 0;
        std::int64_t bytes = 0;
    };
    // The entries in the folder and the bytes they take.
    [[nodiscard]] Usage usage() const;

    // Removes every entry (and leftover temporary file); returns how many entries went. Only
    // files that read as entries of this cache, or have its temporary names, are removed.
    std::int64_t clear();

    // Removes the least recently used entries until the rest fits the limit, and temporary files
    // that a crashed writer left (older than ten minutes); returns how many entries went.
    std::int64_t prune();

private:
    QByteArray m_folder;
    QString m_refusal;
    std::int64_t m_limit;
    std::atomic<std::int64_t> m_reads {0};
    std::atomic<std::int64_t> m_writes {0};
    std::atomic<bool> m_folderMade {false};
};

} // namespace morvane::browser
