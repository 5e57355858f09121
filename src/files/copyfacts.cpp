// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/copyfacts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace morvane::files {

namespace {

    // Reads a list or a value through `get` (size 0 first asks for the length), growing the
    // buffer while the entry grows under us. Empty with errno set when it fails.
    bool readGrowing(const std::function<ssize_t(char *, std::size_t)> &get, std::vector<char> &out)
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const ssize_t size = get(nullptr, 0);
            if (size < 0)
                return false;
            out.resize(static_cast<std::size_t>(size));
            const ssize_t got = get(out.data(), out.size());
            if (got >= 0) {
                out.resize(static_cast<std::size_t>(got));
                return true;
            }
            if (errno != ERANGE)
                return false;
        }
        return false;
    }

    struct AttributeIo
    {
        std::function<ssize_t(char *, std::size_t)> list;
        std::function<ssize_t(const char *, char *, std::size_t)> get;
        std::function<int(const char *, const char *, std::size_t)> set;
    };

    QList<QByteArray> copyWith(const AttributeIo &io)
    {
        QList<QByteArray> lost;
        std::vector<char> names;
        if (!readGrowing(io.list, names))
            return lost; // nothing to copy (or no attributes on that file system)
        for (std::size_t at = 0; at < names.size();) {
            const char *name = names.data() + at;
            at += std::strlen(name) + 1;
            if (std::strncmp(name, "user.", 5) != 0)
                continue;
            std::vector<char> value;
            const bool read = readGrowing(
                [&](char *b, std::size_t n) {
                    return io.get(name, b, n);
                },
                value);
            if (!read || io.set(name, value.data(), value.size()) != 0)
                lost << QByteArray(name);
        }
        return lost;
    }

} // namespace

bool sameFileState(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec
        && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

QList<QByteArray> copyUserAttributes(int from, int to)
{
    return copyWith({[from](char *b, std::size_t n) {
                         return ::flistxattr(from, b, n);
                     },
        [from](const char *name, char *b, std::size_t n) {
            return ::fgetxattr(from, name, b, n);
        },
        [to](const char *name, const char *v, std::size_t n) {
            return ::fsetxattr(to, name, v, n, 0);
        }});
}

QList<QByteArray> copyUserAttributesAt(const QByteArray &from, const QByteArray &to)
{
    const char *f = from.constData();
    const char *t = to.constData();
    return copyWith({[f](char *b, std::size_t n) {
                         return ::llistxattr(f, b, n);
                     },
        [f](const char *name, char *b, std::size_t n) {
            return ::lgetxattr(f, name, b, n);
        },
        [t](const char *name, const char *v, std::size_t n) {
            return ::lsetxattr(t, name, v, n, 0);
        }});
}

bool sameContent(const QByteArray &a, const QByteArray &b)
{
    const int fa = ::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    const int fb = fa < 0 ? -1 : ::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    bool same = fa >= 0 && fb >= 0;
    std::vector<char> ba(std::size_t {1} << 16);
    std::vector<char> bb(ba.size());
    while (same) {
        const ssize_t na = ::read(fa, ba.data(), ba.size());
        if (na <= 0) {
            same = na == 0 && ::read(fb, bb.data(), 1) == 0;
            break;
        }
        for (ssize_t got = 0; same && got < na;) {
            const ssize_t nb = ::read(fb, bb.data() + got, static_cast<std::size_t>(na - got));
            same = nb > 0;
            got += std::max<ssize_t>(nb, 0);
        }
        same = same && std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) == 0;
    }
    for (const int fd : {fa, fb}) {
        if (fd >= 0)
            ::close(fd);
    }
    return same;
}

} // namespace morvane::files
