// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace morvane {

// Plays an animated GIF or WebP shown in the viewer: each frame is decoded from the file when its
// turn comes (never all frames up front), after the previous frame's own delay, and handed to
// the viewer, which draws it like a still picture. The viewer has already shown the first frame.
// A delay under 20 ms (0 included) counts as 100 ms, as browsers do. The animation plays as often
// as the file says (a GIF's loop extension, a WebP's ANIM count; forever when it says 0) and then
// stays on its last frame, unless stop() or the next start() comes first; a frame that fails to
// decode ends it with the last frame drawn. UI thread only.
class PictureAnimation : public QObject
{
    Q_OBJECT

public:
    using FrameSink = std::function<void(const QImage &frame)>;

    explicit PictureAnimation(FrameSink sink, QObject *parent = nullptr);

    // Starts playing the file at `nativePath` when it is a GIF or WebP of more than one frame
    // of `shownSize` (the first frame as the viewer shows it: one turned by its Exif Orientation
    // is not played) no larger than a picture may be; otherwise (a still picture, another
    // format, a file that does not decode) only stops what was playing. True when playing.
    bool start(const QByteArray &nativePath, QSize shownSize);
    void stop();

    [[nodiscard]] bool isPlaying() const { return m_timer.isActive(); }
    [[nodiscard]] const QByteArray &path() const noexcept { return m_path; }
    // Keeps playing a file the program has renamed (the open file is still read).
    void renamed(const QByteArray &newPath) { m_path = newPath; }
    // The delay before the next frame (ms) while playing.
    [[nodiscard]] int nextDelay() const { return m_timer.interval(); }
    // Decodes and hands over the next frame now, as the timer would (tests drive frames with it).
    void advance();

    // The delay a frame is shown for, from the one it says (ms).
    [[nodiscard]] static int frameDelay(int declared);

private:
    // Opens the file again at its first frame; false when it no longer reads as an animation.
    bool reopen(QSize shownSize);
    // Reads the next frame into `frame` and its delay; from the first frame after the last.
    bool readFrame(QImage &frame);

    FrameSink m_sink;
    QTimer m_timer;
    QByteArray m_path;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QImageReader> m_reader;
    QSize m_size; // the frames' size
    int m_framesSinceOpen = 0;
    int m_repeatsLeft = -1; // plays still to come after the current one; -1: forever
};

} // namespace morvane
