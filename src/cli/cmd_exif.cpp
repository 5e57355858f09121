// SPDX-License-Identifier: GPL-3.0-or-later
// exif FILE: the Exif rows that the main window appends for FILE, one "label<TAB>value" line
// each, then "error<TAB>message" when the walk ended with a failure.
#include "cli/commands.h"
#include "exif/exifrows.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <span>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::cli {
namespace {

    // The file's bytes, mapped read-only for the duration of one call (no copy, whatever the
    // size). An empty file maps nothing and is an empty span.
    class MappedFile
    {
    public:
        MappedFile() = default;
        MappedFile(const MappedFile &) = delete;
        MappedFile &operator=(const MappedFile &) = delete;
        ~MappedFile()
        {
            if (m_data != nullptr)
                ::munmap(m_data, m_size);
            if (m_fd >= 0)
                ::close(m_fd);
        }

        // False when the file cannot be opened or mapped; `failure` then says which message fits.
        [[nodiscard]] bool open(const std::string &path, exif::ExifErrorKind &failure)
        {
            failure = exif::ExifErrorKind::OpenFailed;
            // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
            do {
                m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            } while (m_fd < 0 && errno == EINTR);
            if (m_fd < 0)
                return false;
            struct stat st
            {
            };
            if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
                return false;
            m_size = static_cast<std::size_t>(st.st_size);
            if (m_size == 0)
                return true;
            void *p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
            if (p == MAP_FAILED) {
                if (errno == ENOMEM)
                    failure = exif::ExifErrorKind::OutOfMemory;
                m_size = 0;
                return false;
            }
            m_data = p;
            return true;
        }

        [[nodiscard]] std::span<const std::uint8_t> bytes() const
        {
            return {static_cast<const std::uint8_t *>(m_data), m_data != nullptr ? m_size : 0};
        }

    private:
        int m_fd = -1;
        void *m_data = nullptr;
        std::size_t m_size = 0;
    };

} // namespace

int runExif(const std::vector<std::string> &args)
{
    if (args.size() != 1) {
        std::fputs("usage: morvane-cli exif FILE\n", stderr);
        return 2;
    }
    const std::string &path = args[0];
    MappedFile file;
    exif::ExifErrorKind failure {};
    if (!file.open(path, failure)) {
        std::fprintf(stderr, "%s\n", exif::makeError(failure, path).message.c_str());
        return 2;
    }
    const exif::ExifResult result = exif::summaryRows(file.bytes());
    for (const exif::ExifRow &row : result.rows)
        std::printf("%s\t%s\n", row.label.c_str(), row.value.c_str());
    if (result.error) {
        std::printf("error\t%s\n", result.error->message.c_str());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
