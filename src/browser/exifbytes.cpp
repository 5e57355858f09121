// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/exifbytes.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::browser {

bool isRegularFile(const QByteArray &nativePath)
{
    struct stat st
    {
    };
    return !nativePath.isEmpty() && ::stat(nativePath.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

ExifBytes::ExifBytes(const QByteArray &nativePath)
{
    // Opened by its bytes, so a name that is not UTF-8 is reached too, and without blocking: the
    // type is checked on the open descriptor, after which nothing can swap the file.
    do {
        m_fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        m_status = isRegularFile(nativePath) ? Status::OpenFailed : Status::NotARegularFile;
        return;
    }
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_status = Status::NotARegularFile;
        return;
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_status = Status::Ok;
}

ExifBytes::~ExifBytes()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t ExifBytes::read(std::uint64_t pos, std::span<std::uint8_t> out)
{
    if (m_status != Status::Ok)
        return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = pos + done;
        if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
            break;
        const ssize_t n =
            ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the end of the file as it is now, or a read error: the caller sees it short
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void ExifBytes::cacheReserved(std::span<std::uint8_t> cache) noexcept
{
    // A walk that jumps all over a large file touches most of this memory: with small pages,
    // faulting them in and missing the TLB cost more than the reads. The first 2 MiB (the blocks
    // at the start of the file) stay in small pages: a camera file's Exif block lies in its first
    // 64 KiB, and the walk that reads only that should not clear a large page for it.
    constexpr std::uintptr_t kLarge = std::uintptr_t {2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(cache.data());
    const std::uintptr_t first = (begin + 2 * kLarge - 1) / kLarge * kLarge;
    const std::uintptr_t last = (begin + cache.size()) / kLarge * kLarge;
    if (last > first)
        (void)::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

} // namespace morvane::browser
