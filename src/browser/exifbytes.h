// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifreader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane::browser {

// One picture file opened for the Exif walk, which reads it on demand with positioned reads
// (pread) while the object lives. Nothing is mapped: a file that shrinks or fails while it is
// read gives short reads, so the walk ends with the read error instead of a fault. The object is
// not shared; any one thread.
class ExifBytes final : public exif::ByteSource
{
public:
    enum class Status {
        Ok,
        NotARegularFile, // missing, or a folder, FIFO or device: nothing was opened
        OpenFailed, // it exists but cannot be opened (permissions, I/O error)
    };

    // Opens `nativePath` (the file system's bytes of the path) without blocking, so a FIFO put
    // in the file's place cannot stall the program, and takes its size.
    explicit ExifBytes(const QByteArray &nativePath);
    ~ExifBytes() override;
    ExifBytes(const ExifBytes &) = delete;
    ExifBytes &operator=(const ExifBytes &) = delete;

    [[nodiscard]] Status status() const noexcept { return m_status; }
    // The size when the file was opened; 0 unless status() is Ok.
    [[nodiscard]] std::uint64_t size() const override { return m_size; }
    // Reads at `pos` until `out` is full, the file ends or a read fails; returns the bytes read.
    [[nodiscard]] std::size_t read(std::uint64_t pos, std::span<std::uint8_t> out) override;
    // Asks for large pages under the walk's blocks past the first 2 MiB (a hint the system may
    // ignore).
    void cacheReserved(std::span<std::uint8_t> cache) noexcept override;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    Status m_status = Status::NotARegularFile;
};

// Whether `nativePath` names a regular file (a symlink to one counts). Never blocks.
[[nodiscard]] bool isRegularFile(const QByteArray &nativePath);

} // namespace morvane::browser
