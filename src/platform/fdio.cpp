// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fdio.h"

#include <cerrno>
#include <unistd.h>

namespace morvane::platform {

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool readAllAt(int fd, void *out, std::size_t size, std::int64_t offset)
{
    auto *at = static_cast<char *>(out);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, at + done, size - done, static_cast<off_t>(offset + std::int64_t(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace morvane::platform
