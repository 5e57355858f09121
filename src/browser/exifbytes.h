// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>

#include <cstdint>
#include <span>

namespace morvane::browser {

// The bytes of one picture file for the Exif walk, held for as long as the object lives. The
// file is mapped whole; when the system refuses the mapping, at most `readLimit` bytes are read
// from its start instead. An Exif block stands at the start of the file (its segment is at most
// 64 KiB long), so the limit only cuts short walks that run on through a hostile file's data.
// UI thread only (the object is not shared).
class ExifBytes
{
public:
    enum class Status {
        Ok,
        NotARegularFile, // missing, or a folder, FIFO or device: nothing was read
        OpenFailed, // it exists but cannot be opened or read (permissions, I/O error)
        OutOfMemory, // no memory for the bytes to be read into
    };
    enum class Access { MapOrRead, ReadOnly };

    static constexpr std::int64_t kReadLimit = std::int64_t {64} * 1024 * 1024;

    // Opens `nativePath` (the file system's bytes of the path) without blocking, so a FIFO put
    // in the file's place cannot stall the program, and takes its bytes. `ReadOnly` skips the
    // mapping; tests use it to take the fallback path.
    explicit ExifBytes(const QByteArray &nativePath,
        Access access = Access::MapOrRead,
        std::int64_t readLimit = kReadLimit);
    ~ExifBytes();
    ExifBytes(const ExifBytes &) = delete;
    ExifBytes &operator=(const ExifBytes &) = delete;

    [[nodiscard]] Status status() const noexcept { return m_status; }
    // The bytes; empty unless status() is Ok (and for an empty file).
    [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }
    // Whether the bytes are the mapped file rather than a copy that was read.
    [[nodiscard]] bool isMapped() const noexcept { return m_map != nullptr; }

private:
    void readFromStart(std::int64_t limit);

    QFile m_file;
    uchar *m_map = nullptr;
    QByteArray m_read;
    std::span<const std::uint8_t> m_bytes;
    Status m_status = Status::NotARegularFile;
};

// Whether `nativePath` names a regular file (a symlink to one counts). Never blocks.
[[nodiscard]] bool isRegularFile(const QByteArray &nativePath);

} // namespace morvane::browser
