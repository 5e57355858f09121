// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbcache.h"

#include "frame/settingsstore.h"
#include "platform/fdio.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace morvane::browser {
namespace {

    // No entry is larger than this (a 1024-pixel box of noise compresses to about 3 MiB); a
    // larger file is no entry of ours and is not read into memory.
    constexpr std::int64_t kMaxEntryBytes = std::int64_t(16) << 20;
    constexpr char kTempPrefix[] = ".tmp-";
    constexpr std::int64_t kStaleTempNs = std::int64_t(600) * 1000000000;

    std::int64_t nanoseconds(const timespec &t)
    {
        return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
    }

    bool readEntry(int fd, std::string &out, std::int64_t size)
    {
        out.resize(static_cast<std::size_t>(size));
        return platform::readAllAt(fd, out.data(), out.size(), 0);
    }

    bool isLink(const QByteArray &path)
    {
        struct stat st
        {
        };
        return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
    }

    // Calls f(name, stat) for every regular file of the folder, never through a link.
    template <typename F> void forEachFile(const QByteArray &folder, F f)
    {
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR *dir = fd >= 0 ? fdopendir(fd) : nullptr;
        if (dir == nullptr) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        const int dfd = dirfd(dir);
        while (const dirent *e = readdir(dir)) {
            struct stat st
            {
            };
            if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
                f(dfd, std::string(e->d_name), st);
        }
        closedir(dir);
    }

    // Whether the file `name` of the folder read as `dfd` may be an entry this cache wrote.
    bool holdsEntry(int dfd, const char *name)
    {
        const int fd = ::openat(dfd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return false;
        char head[4] = {};
        const ssize_t n = ::read(fd, head, sizeof head);
        ::close(fd);
        return n >= 0 && isThumbEntryHead(std::string_view(head, static_cast<std::size_t>(n)));
    }

} // namespace

bool makePrivateFolder(const QByteArray &folder)
{
    if (isLink(folder))
        return false;
    struct stat st
    {
    };
    const bool existed = ::stat(folder.constData(), &st) == 0;
    if (!QDir().mkpath(QFile::decodeName(folder)) || isLink(folder))
        return false;
    if (!existed)
        (void)::chmod(folder.constData(), 0700); // not ours to change when it fails
    return true;
}

ThumbCache::ThumbCache(QByteArray folder, std::int64_t limitBytes)
    : m_folder(std::move(folder))
    , m_limit(std::max<std::int64_t>(limitBytes, 0))
{
    // Entries are written, read and removed in this folder; through a link they would be
    // somewhere the user did not give to the cache.
    if (isLink(m_folder)) {
        m_refusal = QStringLiteral("サムネイルのキャッシュ用フォルダー「%1」はシンボリックリンクの"
                                   "ため、今回はキャッシュを使いません。")
                        .arg(QFile::decodeName(m_folder));
    }
}

QByteArray ThumbCache::defaultFolder()
{
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/'))
        base = QFile::encodeName(QDir::homePath()) + "/.cache";
    return base + "/morvane/thumbnails";
}

std::int64_t ThumbCache::limitIn(const SettingsStore &settings)
{
    const QString text =
        settings.readString(QStringLiteral("Option"), QStringLiteral("CacheSize"), {});
    return cacheLimitBytes(text.toStdString(), kDefaultCacheLimitMiB);
}

std::optional<CachedPicture> ThumbCache::read(const ThumbKey &key, const FileStamp &stamp)
{
    if (m_limit == 0 || !m_refusal.isEmpty())
        return std::nullopt;
    const QByteArray path = m_folder + '/' + QByteArray::fromStdString(thumbEntryName(key));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<CachedPicture> result;
    struct stat st
    {
    };
    std::string bytes;
    try {
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxEntryBytes
            && readEntry(fd, bytes, st.st_size)) {
            const ParsedThumbEntry parsed = parseThumbEntry(bytes, key, stamp);
            if (parsed.state == ThumbEntryState::Valid) {
                const ThumbFacts &f = parsed.facts;
                std::optional<ThumbForm> form =
                    ThumbForm::fromPacked(QByteArray(bytes.data() + parsed.payloadOffset,
                                              static_cast<qsizetype>(parsed.payloadSize)),
                        QSize(f.pixelWidth, f.pixelHeight),
                        QSize(f.drawnWidth, f.drawnHeight),
                        key.boxSize);
                if (form)
                    result = CachedPicture {std::move(*form), f.fullWidth, f.fullHeight};
            }
        }
    } catch (const std::bad_alloc &) {
        result.reset(); // a miss: the build decodes the picture instead
    }
    if (result) {
        (void)futimens(fd, nullptr); // used now; failing that it is only evicted sooner
        ++m_reads;
    }
    ::close(fd);
    return result;
}

bool ThumbCache::write(const ThumbKey &key, const FileStamp &stamp, const CachedPicture &picture)
{
    if (m_limit == 0 || !m_refusal.isEmpty() || picture.form.isNull())
        return false;
    std::string bytes;
    try {
        const QByteArray payload = picture.form.packed();
        if (payload.isEmpty())
            return false;
        ThumbFacts facts;
        facts.fullWidth = picture.fullWidth;
        facts.fullHeight = picture.fullHeight;
        facts.drawnWidth = picture.form.drawnSize().width();
        facts.drawnHeight = picture.form.drawnSize().height();
        facts.pixelWidth = picture.form.pixelSize().width();
        facts.pixelHeight = picture.form.pixelSize().height();
        bytes = encodeThumbEntry(key,
            stamp,
            facts,
            std::string_view(payload.constData(), static_cast<std::size_t>(payload.size())));
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (!m_folderMade.load()) {
        if (!m_refusal.isEmpty() || !makePrivateFolder(m_folder))
            return false;
        m_folderMade = true;
    }
    QByteArray temp = m_folder + '/' + kTempPrefix + "XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            m_folderMade = false; // removed behind our back: made again at the next write
        return false;
    }
    // The checksums tell a torn entry after a crash, so no fsync is needed before the rename.
    const bool written = platform::writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    const QByteArray path = m_folder + '/' + QByteArray::fromStdString(thumbEntryName(key));
    if (!written || !closed || ::rename(temp.constData(), path.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    ++m_writes;
    return true;
}

ThumbCache::Usage ThumbCache::usage() const
{
    Usage u;
    if (!m_refusal.isEmpty())
        return u;
    forEachFile(m_folder, [&u](int, const std::string &name, const struct stat &st) {
        if (isThumbEntryName(name)) {
            ++u.entries;
            u.bytes += st.st_size;
        }
    });
    return u;
}

std::int64_t ThumbCache::clear()
{
    std::int64_t removed = 0;
    if (!m_refusal.isEmpty())
        return removed;
    forEachFile(m_folder, [&](int dfd, const std::string &name, const struct stat &) {
        const bool entry = isThumbEntryName(name) && holdsEntry(dfd, name.c_str());
        if ((entry || isThumbTempName(name)) && ::unlinkat(dfd, name.c_str(), 0) == 0 && entry)
            ++removed;
    });
    return removed;
}

std::int64_t ThumbCache::prune()
{
    if (!m_refusal.isEmpty())
        return 0;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::vector<CacheFile> files;
    forEachFile(m_folder, [&](int dfd, const std::string &name, const struct stat &st) {
        if (isThumbEntryName(name)) {
            if (holdsEntry(dfd, name.c_str()))
                files.push_back(CacheFile {name, st.st_size, nanoseconds(st.st_mtim)});
        } else if (isThumbTempName(name)
            && nanoseconds(now) - nanoseconds(st.st_mtim) > kStaleTempNs) {
            ::unlinkat(dfd, name.c_str(), 0); // a crashed writer's; a live one's is younger
        }
    });
    std::int64_t removed = 0;
    for (const std::size_t i : pickEvictions(files, m_limit)) {
        if (::unlink((m_folder + '/' + files[i].name.c_str()).constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace morvane::browser
