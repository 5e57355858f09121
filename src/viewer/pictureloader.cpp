// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/pictureloader.h"

#include "imaging/imagedecode.h"
#include "imaging/jpegscale.h"
#include "imaging/resample.h"

#include <QFile>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <new>
#include <numeric>
#include <sys/stat.h>
#include <utility>

namespace morvane {
namespace {

    QString shownPath(const QByteArray &nativePath)
    {
        return QFile::decodeName(nativePath);
    }

    // Why a file that did not decode failed, as the user can act on it: gone, not readable, or
    // not a picture the decoders understand.
    QString failureText(const QByteArray &nativePath)
    {
        struct stat st
        {
        };
        if (::stat(nativePath.constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return QStringLiteral("ファイル %1 が見つかりません").arg(shownPath(nativePath));
            return QStringLiteral("ファイル %1 を開けません").arg(shownPath(nativePath));
        }
        if (!S_ISREG(st.st_mode))
            return QStringLiteral("%1 は画像ファイルではありません").arg(shownPath(nativePath));
        if (::access(nativePath.constData(), R_OK) != 0)
            return QStringLiteral("ファイル %1 を読み込む権限がありません")
                .arg(shownPath(nativePath));
        return QStringLiteral("%1 は画像として読み込めません（壊れているか、大きすぎます）")
            .arg(shownPath(nativePath));
    }

} // namespace

QImage smoothScaled(const QImage &image, QSize size)
{
    if (image.isNull() || size.isEmpty())
        return {};
    if (size.width() > image.width() || size.height() > image.height())
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Shrinking: a cubic over every source pixel, which leaves detail finer than the drawing flat
    // where an area average (Qt's smooth scaling) still shows a coarse false pattern.
    const bool alpha = image.hasAlphaChannel();
    const QImage source =
        image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QImage out(size, source.format());
    if (out.isNull())
        return {};
    const int alphaByte = !alpha ? -1 : Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0;
    const imaging::PixelRows<const std::uint8_t> from {
        source.constBits(), source.width(), source.height(), source.bytesPerLine()};
    const imaging::PixelRows<std::uint8_t> to {
        out.bits(), out.width(), out.height(), out.bytesPerLine()};
    // Bands of target rows on the thread pool, the calling thread taking its share.
    constexpr qint64 kPixelsPerBand = 1 << 20;
    const int bands =
        int(std::clamp<qint64>(qint64(source.width()) * source.height() / kPixelsPerBand,
            1,
            std::min({QThread::idealThreadCount(), 8, out.height()})));
    std::vector<int> band(std::size_t(bands), 0);
    std::iota(band.begin(), band.end(), 0);
    QtConcurrent::blockingMap(band, [&](int b) {
        const int first = int(qint64(out.height()) * b / bands);
        const int end = int(qint64(out.height()) * (b + 1) / bands);
        [[maybe_unused]] const bool done = imaging::resampleCubic(from, to, alphaByte, first, end);
        Q_ASSERT(done);
    });
    return out;
}

void releaseInBackground(QImage image)
{
    if (image.isNull())
        return;
    // The task holds the last reference, if this was it; the memory goes when the task ends.
    QThreadPool::globalInstance()->start([held = std::move(image)]() mutable {
        held = QImage();
    });
}

QSize decodeSizeFor(QSize scaledSize)
{
    if (!scaledSize.isValid() || scaledSize.isEmpty())
        return {};
    // Beyond what a picture can have: such a drawing size asks for the full decode anyway.
    constexpr int kLargest = 1 << 20;
    return {
        std::min(scaledSize.width(), kLargest) * 3, std::min(scaledSize.height(), kLargest) * 3};
}

bool coversDrawing(const QImage &image, QSize fullSize, QSize drawnSize)
{
    if (image.isNull())
        return false;
    if (image.size() == fullSize)
        return true;
    const QSize enough = decodeSizeFor(drawnSize);
    if (!enough.isValid())
        return false;
    // Three times the drawing is enough whatever the scale; so a window that shrinks never asks
    // for a larger decode than it has.
    if (image.width() >= enough.width() && image.height() >= enough.height())
        return true;
    const imaging::PixelSize full {fullSize.width(), fullSize.height()};
    const imaging::PixelSize wanted = imaging::jpegScaledSize(full,
        imaging::jpegShowEighths(
            full, {drawnSize.width(), drawnSize.height()}, {enough.width(), enough.height()}));
    return image.width() >= wanted.width && image.height() >= wanted.height;
}

LoadedPicture loadPictureFile(
    const QByteArray &nativePath, QSize scaledSize, QImage reuse, bool upright)
{
    LoadedPicture result;
    try {
        const qsizetype slash = nativePath.lastIndexOf('/');
        const imaging::PictureFormat format =
            imaging::pictureFormatForName(nativePath.mid(slash + 1));
        if (format == imaging::PictureFormat::None) {
            result.error = failureText(nativePath);
            return result;
        }
        imaging::DecodeResult decoded = imaging::decodePictureToShow(nativePath,
            format,
            imaging::JpegShowOptions {scaledSize, std::move(reuse), {}, decodeSizeFor(scaledSize)},
            upright);
        if (decoded.status == imaging::DecodeStatus::NoMemory)
            throw std::bad_alloc();
        if (decoded.status != imaging::DecodeStatus::Decoded || decoded.picture.image.isNull()
            || decoded.picture.image.width() <= 0 || decoded.picture.image.height() <= 0) {
            result.error = failureText(nativePath);
            return result;
        }
        result.image = std::move(decoded.picture.image);
        result.fullSize = {decoded.picture.fullWidth, decoded.picture.fullHeight};
        if (scaledSize.isValid() && !scaledSize.isEmpty() && scaledSize != result.fullSize) {
            // A reduced decode may already have the drawing size: then it is the scaled copy.
            result.scaled = scaledSize == result.image.size()
                ? result.image
                : smoothScaled(result.image, scaledSize);
        }
    } catch (const std::bad_alloc &) {
        result = {};
        result.error =
            QStringLiteral("メモリが足りないため %1 を読み込めません").arg(shownPath(nativePath));
    } catch (...) {
        result = {};
        result.error = failureText(nativePath);
    }
    return result;
}

PicturePreparer::PicturePreparer(QObject *parent, Decoder decoder)
    : QObject(parent)
    , m_decoder(std::move(decoder))
{
    m_pool.setMaxThreadCount(1);
}

PicturePreparer::~PicturePreparer()
{
    // A decode still running posts to this object: wait for it while the object still exists.
    m_pool.waitForDone();
}

void PicturePreparer::request(const QByteArray &path, QSize scaledSize, QImage spare)
{
    // A spare replaced here is freed off this thread.
    releaseInBackground(std::exchange(m_waitingSpare, {}));
    if (!m_inFlight.isEmpty()) {
        // The worker is busy: this request waits, replacing any older one that never started.
        if (path == m_inFlight && scaledSize == m_inFlightSize) {
            m_waiting.clear();
            releaseInBackground(std::move(spare));
            return;
        }
        m_waiting = path;
        m_waitingSize = scaledSize;
        m_waitingSpare = std::move(spare);
        return;
    }
    m_waiting.clear();
    if (!path.isEmpty())
        start(path, scaledSize, std::move(spare));
    else
        releaseInBackground(std::move(spare));
}

bool PicturePreparer::isDecoding(const QByteArray &path) const
{
    return !path.isEmpty() && path == m_inFlight;
}

bool PicturePreparer::isIdle() const
{
    return m_inFlight.isEmpty() && m_waiting.isEmpty();
}

LoadedPicture PicturePreparer::waitFor(const QByteArray &path)
{
    if (!isDecoding(path))
        return {};
    m_future.waitForFinished();
    LoadedPicture picture = m_future.result();
    m_future = QFuture<LoadedPicture>();
    // The continuation is still on its way to this thread; it finds a newer generation and
    // delivers nothing. A waiting request is dropped: the caller is about to ask anew.
    ++m_generation;
    m_inFlight.clear();
    m_waiting.clear();
    releaseInBackground(std::exchange(m_waitingSpare, {}));
    return picture;
}

void PicturePreparer::start(const QByteArray &path, QSize scaledSize, QImage spare)
{
    m_inFlight = path;
    m_inFlightSize = scaledSize;
    const quint64 generation = ++m_generation;
    // The worker gets its own copies and touches nothing of this object but the queue of its
    // thread: it posts the result back, and the destructor waits for the worker before the
    // object goes (which also drops a result still queued).
    m_future = QtConcurrent::run(&m_pool,
        [this,
            decoder = m_decoder,
            upright = m_upright,
            path,
            scaledSize,
            generation,
            spare = std::move(spare)]() mutable -> LoadedPicture {
            LoadedPicture picture = decoder(path, scaledSize, std::move(spare), upright);
            QMetaObject::invokeMethod(
                this,
                [this, generation, picture]() mutable {
                    decodeEnded(generation, std::move(picture));
                },
                Qt::QueuedConnection);
            return picture;
        });
}

void PicturePreparer::decodeEnded(quint64 generation, LoadedPicture picture)
{
    if (generation != m_generation) {
        releaseInBackground(std::move(picture.image)); // taken by waitFor
        releaseInBackground(std::move(picture.scaled));
        return;
    }
    // The future keeps its result as long as it is kept: let go of it, so a picture the
    // receiver drops is freed.
    m_future = QFuture<LoadedPicture>();
    const QByteArray path = std::exchange(m_inFlight, {});
    if (!m_waiting.isEmpty()) {
        const QByteArray next = std::exchange(m_waiting, {});
        start(next, m_waitingSize, std::exchange(m_waitingSpare, {}));
    }
    if (picture.ok())
        emit prepared(path, picture);
    else
        emit failed(path);
    // Whatever the receiver did not keep goes off this thread.
    releaseInBackground(std::move(picture.image));
    releaseInBackground(std::move(picture.scaled));
}

} // namespace morvane
