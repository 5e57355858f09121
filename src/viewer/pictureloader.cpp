// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/pictureloader.h"

#include "platform/imagedecode.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <new>
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

    // One 2 × 2 box-filter reduction of an RGB32 or ARGB32_Premultiplied image (odd last rows
    // and columns are folded into the halves they touch).
    QImage halved(const QImage &src)
    {
        const int w = src.width() / 2;
        const int h = src.height() / 2;
        QImage out(w, h, src.format());
        if (out.isNull())
            return out;
        for (int y = 0; y < h; ++y) {
            const auto *a = reinterpret_cast<const quint32 *>(src.constScanLine(2 * y));
            const auto *b = reinterpret_cast<const quint32 *>(src.constScanLine(2 * y + 1));
            auto *d = reinterpret_cast<quint32 *>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const quint32 p0 = a[2 * x], p1 = a[2 * x + 1], p2 = b[2 * x], p3 = b[2 * x + 1];
                // Two channels per 64-bit lane step: (xx RR xx BB) and (AA xx GG xx) sums.
                const quint32 rb = ((p0 & 0x00FF00FFu) + (p1 & 0x00FF00FFu) + (p2 & 0x00FF00FFu)
                                       + (p3 & 0x00FF00FFu) + 0x00020002u)
                    >> 2;
                const quint32 ag =
                    (((p0 >> 8) & 0x00FF00FFu) + ((p1 >> 8) & 0x00FF00FFu)
                        + ((p2 >> 8) & 0x00FF00FFu) + ((p3 >> 8) & 0x00FF00FFu) + 0x00020002u)
                    >> 2;
                d[x] = (rb & 0x00FF00FFu) | ((ag & 0x00FF00FFu) << 8);
            }
        }
        return out;
    }

} // namespace

QImage smoothScaled(const QImage &image, QSize size)
{
    if (image.isNull() || size.isEmpty())
        return {};
    QImage source = image;
    if (source.format() != QImage::Format_RGB32
        && source.format() != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Halve while the result stays at least twice the target: the final smooth pass then
    // averages over at most a few source pixels, which Qt does quickly and well.
    while (source.width() >= 4 * size.width() && source.height() >= 4 * size.height()) {
        QImage next = halved(source);
        if (next.isNull())
            break;
        source = std::move(next);
    }
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

LoadedPicture loadPictureFile(const QByteArray &nativePath, QSize scaledSize)
{
    LoadedPicture result;
    try {
        const qsizetype slash = nativePath.lastIndexOf('/');
        const platform::PictureFormat format =
            platform::pictureFormatForName(nativePath.mid(slash + 1));
        std::optional<platform::DecodedPicture> decoded;
        if (format != platform::PictureFormat::None)
            decoded = platform::decodePictureFile(nativePath, format, 0);
        if (!decoded || decoded->image.isNull() || decoded->image.width() <= 0
            || decoded->image.height() <= 0) {
            result.error = failureText(nativePath);
            return result;
        }
        result.image = std::move(decoded->image);
        if (scaledSize.isValid() && !scaledSize.isEmpty() && scaledSize != result.image.size())
            result.scaled = smoothScaled(result.image, scaledSize);
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
    // The continuation of a decode still running must not reach this object once it is gone.
    ++m_generation;
    m_pool.waitForDone();
}

void PicturePreparer::request(const QByteArray &path, QSize scaledSize)
{
    if (!m_inFlight.isEmpty()) {
        // The worker is busy: this request waits, replacing any older one that never started.
        if (path == m_inFlight) {
            m_waiting.clear();
            return;
        }
        m_waiting = path;
        m_waitingSize = scaledSize;
        return;
    }
    m_waiting.clear();
    if (!path.isEmpty())
        start(path, scaledSize);
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
    // The continuation is still on its way to this thread; it finds a newer generation and
    // delivers nothing. A waiting request is dropped: the caller is about to ask anew.
    ++m_generation;
    m_inFlight.clear();
    m_waiting.clear();
    return picture;
}

void PicturePreparer::start(const QByteArray &path, QSize scaledSize)
{
    m_inFlight = path;
    const quint64 generation = ++m_generation;
    // The worker gets its own copies and touches nothing of this object; the result comes back
    // to this object's thread.
    m_future = QtConcurrent::run(&m_pool, m_decoder, path, scaledSize);
    m_future.then(this, [this, generation](const LoadedPicture &picture) {
        decodeEnded(generation, picture);
    });
}

void PicturePreparer::decodeEnded(quint64 generation, const LoadedPicture &picture)
{
    if (generation != m_generation)
        return; // taken by waitFor
    const QByteArray path = std::exchange(m_inFlight, {});
    if (!m_waiting.isEmpty()) {
        const QByteArray next = std::exchange(m_waiting, {});
        start(next, m_waitingSize);
    }
    if (picture.ok())
        emit prepared(path, picture);
    else
        emit failed(path);
}

} // namespace morvane
