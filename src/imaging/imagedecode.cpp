// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/imagedecode.h"

#include "exif/exifcontainers.h"
#include "imaging/formatdecoders.h"
#include "imaging/orientation.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace morvane::imaging {
namespace {

    // Larger picture files are not read at all: no camera or scanner writes them, and reading
    // one would take that much memory per decoding thread.
    constexpr qint64 kMaxFileBytes = qint64(512) << 20;

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

    // Qt's readers refuse images above 128 MiB unless told otherwise. Ours is the one limit of
    // every decoder, checked from the header before Qt reads; Qt's own check is set to the same
    // bytes, so it never refuses what ours admitted (32 bits per pixel at most).
    void useOneAllocationLimit()
    {
        static const bool set = [] {
            QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes >> 20));
            return true;
        }();
        (void)set;
    }

    DecodeResult readWithQt(const QByteArray &bytes, const char *format, const MemoryGate &gate)
    {
        // Qt's bitmap and icon readers fill an image given to them; the others (GIF draws its
        // frames onto the image it is given) make their own.
        const bool fillsGivenImage = qstrcmp(format, "bmp") == 0 || qstrcmp(format, "ico") == 0;
        useOneAllocationLimit();
        DecodeResult result;
        QBuffer buffer;
        buffer.setData(bytes);
        if (!buffer.open(QIODevice::ReadOnly))
            return result;
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        const QSize size = reader.size(); // from the header: nothing is decoded yet
        if (size.isEmpty())
            return result;
        const qint64 pixels = qint64(size.width()) * size.height();
        if (pixels > kMaxPicturePixels) {
            result.status = DecodeStatus::TooLarge;
            return result;
        }
        const QImage::Format readFormat = reader.imageFormat();
        const QImage::Format opaque = QImage::Format_RGB32;
        const qint64 readBytes = readFormat == QImage::Format_Invalid
            ? pixels * 4
            : pixels * QImage::toPixelFormat(readFormat).bitsPerPixel() / 8;
        const qint64 convertedBytes = readFormat == opaque ? 0 : pixels * 4;
        if (gate && !gate(bytes.size() + readBytes + convertedBytes))
            return result;

        // The image is allocated here rather than inside the reader, so a failure to allocate is
        // told from a format error. Qt's bitmap reader fills an image of its size and format in
        // place; the icon reader makes its own, at most 256 x 256.
        QImage image;
        if (fillsGivenImage && readFormat != QImage::Format_Invalid) {
            image = QImage(size, readFormat);
            if (image.isNull()) {
                result.status = DecodeStatus::NoMemory;
                return result;
            }
        }
        if (!reader.read(&image) || image.isNull()) {
            // The header was sound: either the data is not, or the reader's own allocations
            // failed, which only shows in whether the image's memory can be had now.
            image = QImage();
            result.status = QImage(size, QImage::Format_ARGB32).isNull() ? DecodeStatus::NoMemory
                                                                         : DecodeStatus::NotPicture;
            return result;
        }
        const QImage::Format target =
            image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : opaque;
        DecodedPicture &picture = result.picture;
        picture.fullWidth = image.width();
        picture.fullHeight = image.height();
        picture.image = image.format() == target ? std::move(image) : image.convertToFormat(target);
        result.status = picture.image.isNull() ? DecodeStatus::NoMemory : DecodeStatus::Decoded;
        return result;
    }

} // namespace

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

DecodeResult decodeBitmap(const QByteArray &bytes, const MemoryGate &gate)
{
    return readWithQt(bytes, "bmp", gate);
}

DecodeResult decodeIcon(const QByteArray &bytes, const MemoryGate &gate)
{
    return readWithQt(bytes, "ico", gate);
}

namespace {

    const char *qtFormatName(PictureFormat format)
    {
        switch (format) {
        case PictureFormat::Bitmap:
            return "bmp";
        case PictureFormat::Icon:
            return "ico";
        case PictureFormat::Png:
            return "png";
        case PictureFormat::Gif:
            return "gif";
        case PictureFormat::WebP:
            return "webp";
        case PictureFormat::Tiff:
            return "tiff";
        case PictureFormat::Netpbm: // Qt's reader takes the kind (P1..P6) from the header
            return "ppm";
        default:
            return nullptr;
        }
    }

    // The decoded picture turned as `orientation` says, with its full size turned alike.
    DecodeResult turned(DecodeResult decoded, int orientation)
    {
        if (decoded.status != DecodeStatus::Decoded || orientation <= kOrientationUpright)
            return decoded;
        DecodedPicture &picture = decoded.picture;
        picture.image = orientedImage(picture.image, orientation);
        if (picture.image.isNull())
            return {DecodeStatus::NoMemory, {}};
        if (swapsSides(orientation))
            std::swap(picture.fullWidth, picture.fullHeight);
        return decoded;
    }

    // Reads the file and decodes it: a JPEG with `jpeg` (called with the bytes and the
    // orientation it will be turned by), a RAW file with `raw` (called with the bytes), the
    // others with their libraries.
    template <typename JpegDecoder, typename RawDecoder>
    DecodeResult readAndDecode(const QByteArray &nativePath,
        PictureFormat format,
        bool upright,
        int heifBox,
        const MemoryGate &gate,
        const JpegDecoder &jpeg,
        const RawDecoder &raw)
    {
        if (format == PictureFormat::None)
            return {};
        try {
            const std::optional<QByteArray> bytes = readWholeFile(nativePath, kMaxFileBytes);
            if (!bytes)
                return {DecodeStatus::ReadError, {}};
            if (bytes->isEmpty())
                return {};
            const int orientation = upright ? exifOrientation(format, *bytes) : 0;
            switch (format) {
            case PictureFormat::Jpeg:
                return turned(jpeg(*bytes, orientation), orientation);
            case PictureFormat::Heif:
                return decodeHeif(*bytes, heifBox, gate);
            case PictureFormat::JpegXl:
                return decodeJpegXl(*bytes, gate);
            case PictureFormat::Targa:
                return decodeTargaFile(*bytes, gate);
            case PictureFormat::Raw:
                return raw(*bytes);
            case PictureFormat::None:
                return {};
            default:
                return turned(decodeWithQt(*bytes, format, gate), orientation);
            }
        } catch (const std::bad_alloc &) {
            // Qt's containers throw when they cannot grow: the file's bytes, or inside a reader.
            return {DecodeStatus::NoMemory, {}};
        }
    }

    const unsigned char *dataOf(const QByteArray &bytes)
    {
        return reinterpret_cast<const unsigned char *>(bytes.constData());
    }

} // namespace

int exifOrientation(PictureFormat format, const QByteArray &bytes)
{
    switch (format) {
    case PictureFormat::Jpeg:
    case PictureFormat::Png:
    case PictureFormat::WebP:
    case PictureFormat::Tiff:
        return exif::orientation(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                static_cast<std::size_t>(bytes.size())))
            .value_or(0);
    default:
        return 0;
    }
}

DecodeResult decodeWithQt(const QByteArray &bytes, PictureFormat format, const MemoryGate &gate)
{
    const char *name = qtFormatName(format);
    if (name == nullptr)
        return {};
    return readWithQt(bytes, name, gate);
}

DecodeResult decodePictureFile(const QByteArray &nativePath,
    PictureFormat format,
    const ThumbRequest &request,
    const MemoryGate &gate)
{
    const int box = std::max(request.boxSize, 0);
    return readAndDecode(
        nativePath,
        format,
        request.upright,
        box,
        gate,
        [&](const QByteArray &bytes, int) {
            return decodeJpeg(
                dataOf(bytes), static_cast<std::size_t>(bytes.size()), request.jpegScale, gate);
        },
        [&](const QByteArray &bytes) {
            // The preview at the smallest scale that covers the box (without a box: full size).
            const QSize atLeast = box > 0 ? QSize(box, box) : QSize();
            return decodeRaw(bytes, atLeast, request.upright, RawFacts::Sensor, gate);
        });
}

DecodeResult decodePictureFile(
    const QByteArray &nativePath, PictureFormat format, int jpegScaleShift, const MemoryGate &gate)
{
    return decodePictureFile(nativePath, format, ThumbRequest {jpegScaleShift, 0, true}, gate);
}

DecodeResult decodePictureToShow(
    const QByteArray &nativePath, PictureFormat format, JpegShowOptions jpeg, bool upright)
{
    return readAndDecode(
        nativePath,
        format,
        upright,
        0,
        jpeg.gate,
        [&](const QByteArray &bytes, int orientation) {
            // The decode's size is asked for as stored: sides swapped for a quarter turn.
            if (swapsSides(orientation)) {
                jpeg.atLeast.transpose();
                jpeg.preferAtLeast.transpose();
            }
            return decodeJpeg(
                dataOf(bytes), static_cast<std::size_t>(bytes.size()), std::move(jpeg));
        },
        [&](const QByteArray &bytes) {
            return decodeRaw(bytes,
                jpeg.atLeast,
                upright,
                RawFacts::Preview,
                jpeg.gate,
                std::move(jpeg.reuse),
                jpeg.preferAtLeast);
        });
}

} // namespace morvane::imaging
