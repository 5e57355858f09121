// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/exifbytes.h"

#include <algorithm>
#include <fcntl.h>
#include <new>
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

ExifBytes::ExifBytes(const QByteArray &nativePath, Access access, std::int64_t readLimit)
{
    // Opened by its bytes, so a name that is not UTF-8 is reached too, and without blocking: the
    // type is checked on the open descriptor, after which nothing can swap the file.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_status = isRegularFile(nativePath) ? Status::OpenFailed : Status::NotARegularFile;
        return;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m_status = Status::NotARegularFile;
        return;
    }
    if (!m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        m_status = Status::OpenFailed;
        return;
    }
    const std::int64_t size = st.st_size;
    if (access == Access::MapOrRead && size > 0)
        m_map = m_file.map(0, size);
    if (m_map != nullptr) {
        m_bytes = std::span<const std::uint8_t>(m_map, static_cast<std::size_t>(size));
        m_status = Status::Ok;
        return;
    }
    readFromStart(std::min(size, std::max<std::int64_t>(readLimit, 0)));
}

ExifBytes::~ExifBytes()
{
    if (m_map != nullptr)
        m_file.unmap(m_map);
}

void ExifBytes::readFromStart(std::int64_t limit)
{
    try {
        m_read.resize(static_cast<qsizetype>(limit));
    } catch (const std::bad_alloc &) {
        m_status = Status::OutOfMemory;
        return;
    }
    qsizetype done = 0;
    while (done < m_read.size()) {
        const qint64 n = m_file.read(m_read.data() + done, m_read.size() - done);
        if (n < 0) {
            m_read.clear();
            m_status = Status::OpenFailed;
            return;
        }
        if (n == 0)
            break; // the file was shortened meanwhile: what was read is the file
        done += static_cast<qsizetype>(n);
    }
    m_read.resize(done);
    m_bytes = std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t *>(m_read.constData()), static_cast<std::size_t>(done));
    m_status = Status::Ok;
}

} // namespace morvane::browser
