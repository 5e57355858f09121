// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <functional>

namespace morvane {

// One picture file loaded for the viewer.
struct LoadedPicture
{
    // The picture as decoded: at its natural size, or for a JPEG drawn smaller, reduced by
    // libjpeg's DCT scaling (see loadPictureFile). Null when the load failed.
    QImage image;
    QImage scaled; // `image` smoothly scaled to the size asked for; null when none was asked
    QSize fullSize; // the picture's natural size (pixels), whatever `image` holds
    QString error; // the Japanese message of a failed load, naming the file; empty on success

    [[nodiscard]] bool ok() const { return !image.isNull(); }
};

// The size a picture drawn at `scaledSize` (device pixels) is preferably decoded at, where the
// decoder can reduce (JPEG): three times the drawing size. The fast DCT reductions fold part of
// the detail above their own resolution into coarser detail; at three times the drawing that lands
// finer than the drawing shows, where the cubic resize smooths it away, instead of showing as a
// coarse false pattern (moire). Invalid for an invalid or empty size.
[[nodiscard]] QSize decodeSizeFor(QSize scaledSize);

// True when `image`, decoded from a picture of natural size `fullSize`, holds the detail to be
// drawn at `drawnSize` (device pixels; invalid: drawn at the natural size): it is the whole
// picture, at least three times the drawing, or at least as large as loadPictureFile decodes a JPEG
// for that drawing. False for a null image.
[[nodiscard]] bool coversDrawing(const QImage &image, QSize fullSize, QSize drawnSize);

// Reads and decodes the picture file at `nativePath` (the bytes of its name, which need not be
// UTF-8) for drawing at `scaledSize` (device pixels; invalid: at its natural size), upright by
// its Exif Orientation when `upright` (the option "AutoRotate"): libjpeg-turbo for JPEG, decoded at
// the smallest of the fast DCT scales 1/8, 2/8 and 4/8 that covers decodeSizeFor(scaledSize), else
// at full size (see imaging::jpegShowEighths), and likewise a RAW file's embedded preview; the
// other formats at full size (see imaging::decodePictureToShow); chosen by the name's extension.
// `fullSize` is the size of the picture drawn (for a RAW file, its preview's). When `scaledSize` is
// valid and differs from the decoded size, `scaled` is also made. `reuse`, a picture no longer
// needed, lends its memory to a JPEG decode of its very size (see imaging::JpegShowOptions). A
// missing, unreadable or corrupt file, or memory running out, gives a null image and a message;
// nothing throws. Any thread.
[[nodiscard]] LoadedPicture loadPictureFile(
    const QByteArray &nativePath, QSize scaledSize = {}, QImage reuse = {}, bool upright = true);

// The picture smoothly scaled to `size` (pixels). Shrinking, every source pixel is weighed in by a
// cubic as wide as one target pixel's share of the source times four (imaging::resampleCubic), on
// the thread pool; enlarging, Qt's smooth scaling. A null image when either is empty. Any thread.
[[nodiscard]] QImage smoothScaled(const QImage &image, QSize size);

// Lets go of `image` on a background thread: freeing a large picture (some milliseconds for a
// 24-megapixel one) then does not hold up the UI thread. Any thread.
void releaseInBackground(QImage image);

// Decodes the picture after the viewer's current one on a worker thread, one decode at a time.
// A request that comes while a decode runs waits in a single slot and replaces any request
// already waiting there; a request for the file being decoded now is not queued again. Results
// come back on the UI thread through prepared(), in the order the decodes end; a failed decode
// is silent (failed() is for tests and benchmarks). Nothing is cancelled once it hits the worker,
// so the receiver decides whether a result is still wanted. Memory: at most one decode in flight.
// UI thread only.
class PicturePreparer : public QObject
{
    Q_OBJECT

public:
    using Decoder = std::function<LoadedPicture(const QByteArray &, QSize, QImage, bool upright)>;

    explicit PicturePreparer(QObject *parent = nullptr, Decoder decoder = loadPictureFile);
    // Waits for the decode in flight, whose result is dropped.
    ~PicturePreparer() override;

    // Asks for `path` to be drawn at `scaledSize` (invalid: at its natural size), decoded into the
    // memory of `spare` where the sizes allow. An empty path withdraws the waiting request. A
    // spare that no decode takes is freed on the worker.
    void request(const QByteArray &path, QSize scaledSize, QImage spare = {});
    // Whether the decodes requested from now on turn pictures upright by their Exif Orientation.
    void setUpright(bool upright) { m_upright = upright; }

    // True while `path` is decoding on the worker.
    [[nodiscard]] bool isDecoding(const QByteArray &path) const;

    // Blocks until the decode of `path` now in flight has ended and returns its result, which
    // prepared() will then not deliver; a waiting request is dropped. A null result when `path`
    // is not in flight.
    [[nodiscard]] LoadedPicture waitFor(const QByteArray &path);

    // True when nothing runs and nothing waits.
    [[nodiscard]] bool isIdle() const;

signals:
    void prepared(const QByteArray &path, const LoadedPicture &picture);
    void failed(const QByteArray &path);

private:
    void start(const QByteArray &path, QSize scaledSize, QImage spare);
    void decodeEnded(quint64 generation, LoadedPicture picture);

    Decoder m_decoder;
    bool m_upright = true;
    QThreadPool m_pool;
    QFuture<LoadedPicture> m_future; // the decode in flight, or the last one
    quint64 m_generation = 0; // numbers each decode, so a taken result is not delivered again
    QByteArray m_inFlight; // path decoding now; empty when the worker is idle
    QSize m_inFlightSize; // the drawing size it is decoded for
    QByteArray m_waiting; // the request to start when the worker is free
    QSize m_waitingSize;
    QImage m_waitingSpare;
};

} // namespace morvane
