// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/imagedecode.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::platform {
namespace {

    // Larger picture files are not read at all: no camera or scanner writes them, and reading
    // one would take that much memory per decoding thread.
    constexpr qint64 kMaxExifBytes = qint64(512) << 20;

    bool equalsAsciiNoCase(const char *a, qsizetype length, const char *lower)
    {
        for (qsizetype i = 0; i < length; ++i) {
            char c = a[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (lower[i] == '\0' || c != lower[i])
                return false;
        }
        return lower[length] == '\0';
    }

    class FileDescriptor
    {
    public:
        explicit FileDescriptor(int fd)
            : m_fd(fd)
        {}
        ~FileDescriptor()
        {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        FileDescriptor(const FileDescriptor &) = delete;
        FileDescriptor &operator=(const FileDescriptor &) = delete;
        [[nodiscard]] int get() const { return m_fd; }

    private:
        int m_fd;
    };

    std::optional<DecodedPicture> readWithQt(const QByteArray &bytes, const char *format)
    {
        QBuffer buffer;
        buffer.setData(bytes);
        if (!buffer.open(QIODevice::ReadOnly))
            return std::nullopt;
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        QImage image;
        if (!reader.read(&image) || image.isNull())
            return std::nullopt;
        const QImage::Format target =
            image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
        DecodedPicture picture;
        picture.fullWidth = image.width();
        picture.fullHeight = image.height();
        picture.image = image.format() == target ? std::move(image) : image.convertToFormat(target);
        if (picture.image.isNull())
            return std::nullopt;
        return picture;
    }

} // namespace

PictureFormat pictureFormatForName(const QByteArray &fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0)
        return PictureFormat::None;
    const char *ext = fileName.constData() + dot + 1;
    const qsizetype length = fileName.size() - dot - 1;
    if (equalsAsciiNoCase(ext, length, "jpg") || equalsAsciiNoCase(ext, length, "jpeg"))
        return PictureFormat::Jpeg;
    if (equalsAsciiNoCase(ext, length, "bmp"))
        return PictureFormat::Bitmap;
    if (equalsAsciiNoCase(ext, length, "ico"))
        return PictureFormat::Icon;
    return PictureFormat::None;
}

std::optional<QByteArray> readWholeFile(const QByteArray &nativePath, qint64 maxBytes)
{
    // O_NONBLOCK: the folder was listed a moment ago; should a fifo have taken the file's place,
    // opening it must not wait for a writer. Regular files ignore the flag.
    const FileDescriptor fd(::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;

    // One byte more than the reported size, so the read that finds the end of a file of
    // unchanged size needs no second allocation.
    qint64 capacity = std::min<qint64>(std::max<qint64>(st.st_size, 0), maxBytes) + 1;
    QByteArray bytes(static_cast<qsizetype>(capacity), Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == capacity) {
            if (capacity > maxBytes)
                return std::nullopt;
            capacity = std::min(capacity * 2 + 4096, maxBytes + 1);
            bytes.resize(static_cast<qsizetype>(capacity));
        }
        const ssize_t n =
            ::read(fd.get(), bytes.data() + used, static_cast<size_t>(capacity - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += n;
    }
    if (used > maxBytes)
        return std::nullopt;
    bytes.truncate(static_cast<qsizetype>(used));
    return bytes;
}

std::optional<DecodedPicture> decodeBitmap(const QByteArray &bytes)
{
    return readWithQt(bytes, "bmp");
}

std::optional<DecodedPicture> decodeIcon(const QByteArray &bytes)
{
    return readWithQt(bytes, "ico");
}

std::optional<DecodedPicture> decodePictureFile(
    const QByteArray &nativePath, PictureFormat format, int jpegScaleShift)
{
    if (format == PictureFormat::None)
        return std::nullopt;
    const std::optional<QByteArray> bytes = readWholeFile(nativePath, kMaxExifBytes);
    if (!bytes || bytes->isEmpty())
        return std::nullopt;
    switch (format) {
    case PictureFormat::Jpeg:
        return decodeJpeg(reinterpret_cast<const unsigned char *>(bytes->constData()),
            static_cast<std::size_t>(bytes->size()),
            jpegScaleShift);
    case PictureFormat::Bitmap:
        return decodeBitmap(*bytes);
    case PictureFormat::Icon:
        return decodeIcon(*bytes);
    case PictureFormat::None:
        break;
    }
    return std::nullopt;
}

} // namespace morvane::platform
