// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbspill.h"

#include "browser/thumbcache.h"
#include "platform/fdio.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

ThumbSpill::ThumbSpill(const QByteArray &folder)
{
    if (folder.isEmpty() || !browser::makePrivateFolder(folder))
        return;
    QByteArray name = folder + "/.spill-XXXXXX";
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd >= 0)
        ::unlink(name.constData()); // nameless from now on: nothing is left behind
}

ThumbSpill::~ThumbSpill()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<std::int64_t> ThumbSpill::append(const QByteArray &bytes)
{
    if (m_fd < 0)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    const std::int64_t at = m_end;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd,
            bytes.constData() + done,
            static_cast<std::size_t>(bytes.size() - done),
            static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt; // what was written past m_end is overwritten by the next append
        done += n;
    }
    m_end = at + done;
    return at;
}

bool ThumbSpill::read(std::int64_t offset, uchar *out, qsizetype size) const
{
    return platform::readAllAt(m_fd, out, static_cast<std::size_t>(size), offset);
}

} // namespace morvane
