// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>
#include <mutex>
#include <optional>

namespace morvane {

// An unnamed file on disk that holds the compressed boxes of a list out of memory: what is
// appended is read back by offset. The file has no name from the start, so it goes when the
// last holder closes it, or when the process ends in any way. Any thread.
class ThumbSpill
{
public:
    // A spill file in `folder` (native path; created when missing). isValid() is false when no
    // file could be made there.
    explicit ThumbSpill(const QByteArray &folder);
    ~ThumbSpill();
    ThumbSpill(const ThumbSpill &) = delete;
    ThumbSpill &operator=(const ThumbSpill &) = delete;

    [[nodiscard]] bool isValid() const noexcept { return m_fd >= 0; }

    // Appends `bytes`; their offset, or nullopt when they could not be written (a full disk).
    [[nodiscard]] std::optional<std::int64_t> append(const QByteArray &bytes);

    // Reads the `size` bytes at `offset` into `out`; false when they cannot be read.
    [[nodiscard]] bool read(std::int64_t offset, uchar *out, qsizetype size) const;

private:
    int m_fd = -1;
    std::mutex m_mutex; // guards m_end
    std::int64_t m_end = 0;
};

} // namespace morvane
