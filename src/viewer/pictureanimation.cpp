// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/pictureanimation.h"

#include "imaging/jpegdecode.h"
#include "imaging/pictureformat.h"

#include <algorithm>
#include <utility>

namespace morvane {

namespace {

    // Delays shorter than this are taken for "as fast as possible", which old files say with 0
    // or 10 ms; browsers show such frames for kDefaultDelay.
    constexpr int kShortestDelay = 20;
    constexpr int kDefaultDelay = 100;

} // namespace

PictureAnimation::PictureAnimation(FrameSink sink, QObject *parent)
    : QObject(parent)
    , m_sink(std::move(sink))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PictureAnimation::advance);
}

int PictureAnimation::frameDelay(int declared)
{
    return declared < kShortestDelay ? kDefaultDelay : declared;
}

bool PictureAnimation::start(const QByteArray &nativePath, QSize shownSize)
{
    stop();
    const imaging::PictureFormat format =
        imaging::pictureFormatForName({nativePath.constData(), std::size_t(nativePath.size())});
    if (format != imaging::PictureFormat::Gif && format != imaging::PictureFormat::WebP)
        return false;
    m_path = nativePath;
    // A still picture is not played. Counting the frames parses the whole file, so it is done
    // once here, not each time the animation starts over.
    if (!reopen(shownSize) || m_reader->imageCount() == 1) {
        stop();
        return false;
    }
    // Qt's readers give the plays after the first, whichever way the format counts them.
    m_repeatsLeft = std::max(m_reader->loopCount(), -1);
    // The first frame is on screen already: it is read again only for its delay.
    QImage first;
    m_size = shownSize;
    if (!readFrame(first)) {
        stop();
        return false;
    }
    m_timer.start(frameDelay(m_reader->nextImageDelay()));
    return true;
}

void PictureAnimation::stop()
{
    m_timer.stop();
    m_reader.reset();
    m_file.reset();
    m_path.clear();
    m_size = {};
    m_framesSinceOpen = 0;
    m_repeatsLeft = -1;
}

bool PictureAnimation::reopen(QSize shownSize)
{
    m_reader.reset();
    m_file = std::make_unique<QFile>(QFile::decodeName(m_path));
    if (!m_file->open(QIODevice::ReadOnly))
        return false;
    m_reader = std::make_unique<QImageReader>(m_file.get());
    m_framesSinceOpen = 0;
    const QSize size = m_reader->size();
    // A picture that cannot animate, or one no picture may be as large as, is not played.
    return m_reader->supportsAnimation() && size.isValid() && !size.isEmpty() && size == shownSize
        && qint64(size.width()) * size.height() <= imaging::kMaxPicturePixels;
}

bool PictureAnimation::readFrame(QImage &frame)
{
    if (m_reader->read(&frame)) {
        ++m_framesSinceOpen;
        return true;
    }
    // After the last frame (or a frame that does not decode) the file starts over while it has
    // plays left; a file that yields less than two frames from its start has nothing more to
    // play.
    if (m_repeatsLeft == 0 || m_framesSinceOpen < 2 || !reopen(m_size) || !m_reader->read(&frame))
        return false;
    if (m_repeatsLeft > 0)
        --m_repeatsLeft;
    m_framesSinceOpen = 1;
    return true;
}

void PictureAnimation::advance()
{
    if (!m_reader)
        return;
    QImage frame;
    if (!readFrame(frame)) {
        stop();
        return;
    }
    const int delay = frameDelay(m_reader->nextImageDelay());
    m_sink(frame);
    // The sink may have stopped or restarted the animation.
    if (m_reader)
        m_timer.start(delay);
}

} // namespace morvane
