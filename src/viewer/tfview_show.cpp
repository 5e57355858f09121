// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's pictures: opening the requested one, stepping through the picture list, the
// slideshow, and the hand-off with the worker that prepares the next picture.
#include "frame/windowrefs.h"
#include "platform/folderscan.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"
#include "viewer/viewindex.h"
#include "viewer/viewlayout.h"

#include <QApplication>
#include <QTimer>

namespace morvane {

namespace {

    // Posted at low priority after a step, so the step's own painting (also posted at low
    // priority, and earlier) comes first.
    const QEvent::Type kLoadNextEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

    // Posted the same way: pictures let go of during a step are freed after its frame is drawn.
    const QEvent::Type kReleaseEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

    // A decode of a larger picture on the UI thread takes long enough to show the wait cursor.
    constexpr qint64 kQuickDecodePixels = qint64(2) << 20;

} // namespace

// ---- the picture list and opening ---------------------------------------------------------------

const QList<QByteArray> *TfView::pictureList() const
{
    return fMain != nullptr ? &fMain->PictureList : nullptr;
}

QByteArray TfView::recordPath(std::int32_t index) const
{
    const QList<QByteArray> *list = pictureList();
    if (list == nullptr || index < 0 || index % viewer::kRecordStrings != 0
        || qsizetype {index} + viewer::kRecordStrings > list->size())
        return {};
    return list->at(index);
}

void TfView::FormActivate()
{
    if (fMain == nullptr || !fMain->OpenRequested)
        return;
    const QList<QByteArray> &list = fMain->PictureList;
    std::optional<std::int32_t> found;
    for (qsizetype i = 0; i + viewer::kRecordStrings <= list.size() && i <= INT32_MAX;
         i += viewer::kRecordStrings) {
        if (list.at(i) == OpenPath) {
            found = static_cast<std::int32_t>(i);
            break;
        }
    }
    if (!found) {
        // The open command puts the path in the list; a request without it has nothing to show.
        fMain->OpenRequested = false;
        return;
    }
    PictureIndex = *found;
    LayoutPicture();
    // The list is new: a prepared picture may stand for a file that has changed since.
    setImage2({});
    if (!loadAndShow(OpenPath)) {
        // The index and layout already belong to the new record; the box keeps its picture, the
        // texts stay, no loader run starts and the request stays for the next activation.
        m_activationBlocked = true;
        return;
    }
    fMain->OpenRequested = false;
}

// ---- pictures -------------------------------------------------------------------------------

void TfView::showPicture(const QByteArray &path, const LoadedPicture &picture, bool afterFrame)
{
    Prepared left {
        Image1->picturePath(), Image1->picture(), Image1->scaledPicture(), Image1->naturalSize()};
    Image1->setPicture(path, picture);
    m_finerFailed.clear();
    // The picture before stops playing; an animated one starts.
    m_animation.start(path, picture.fullSize);
    // After a backward step the picture just left is the next forward step's picture: keep it
    // instead of reading it again.
    if (!left.path.isEmpty() && left.path == recordPath(PictureIndex + viewer::kRecordStrings)
        && m_image2.path != left.path) {
        setImage2(std::move(left));
        return;
    }
    if (!afterFrame) {
        releaseInBackground(std::move(left.image));
        releaseInBackground(std::move(left.scaled));
        return;
    }
    // The next decode writes into the memory of the picture just left (no fresh pages to fault
    // in); the spare it replaces, never taken, goes after the frame.
    letGo(std::exchange(m_spare, std::move(left.image)));
    letGo(std::move(left.scaled));
}

void TfView::showFrame(const QImage &frame)
{
    if (Image1->picturePath() != m_animation.path()) {
        m_animation.stop();
        return;
    }
    const QSize drawn = drawingSizeFor(PictureIndex);
    LoadedPicture picture {frame, {}, frame.size(), QString()};
    if (drawn.isValid() && drawn != frame.size())
        picture.scaled = smoothScaled(frame, drawn);
    Image1->setPicture(m_animation.path(), picture);
}

void TfView::decodeFinerIfNeeded()
{
    const QByteArray path = Image1->picturePath();
    if (path.isEmpty() || path != recordPath(PictureIndex))
        return;
    // A step must not show a prepared picture coarser than its drawing size: it is prepared anew.
    if (!m_image2.path.isEmpty()
        && !coversDrawing(m_image2.image,
            m_image2.fullSize,
            drawingSizeFor(PictureIndex + viewer::kRecordStrings))) {
        setImage2({});
        startLoaderRun();
    }
    const QSize drawn = drawingSizeFor(PictureIndex);
    const QSize natural = Image1->naturalSize();
    if (path == m_finerFailed || coversDrawing(Image1->picture(), natural, drawn))
        return;
    const bool slow = qint64(natural.width()) * natural.height() > kQuickDecodePixels;
    if (slow)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    const LoadedPicture picture =
        loadPictureFile(path, drawn, std::exchange(m_spare, {}), picturesUpright());
    if (slow)
        QApplication::restoreOverrideCursor();
    if (!picture.ok()) {
        // The coarser picture stays; the message comes once, not at every size that follows.
        m_finerFailed = path;
        report(picture.error);
        return;
    }
    QImage coarse = Image1->picture();
    QImage coarseScaled = Image1->scaledPicture();
    Image1->setPicture(path, picture);
    releaseInBackground(std::move(coarse));
    releaseInBackground(std::move(coarseScaled));
}

void TfView::setImage2(Prepared prepared)
{
    // Freed at once (off the UI thread): a prepared picture is let go of before a decode, to make
    // room for it.
    std::swap(m_image2, prepared);
    releaseInBackground(std::move(prepared.image));
    releaseInBackground(std::move(prepared.scaled));
}

void TfView::letGo(QImage image)
{
    if (image.isNull())
        return;
    // Freeing a large picture unmaps its memory, which competes with the painting of the step's
    // frame: it waits until that frame is drawn, and then happens off the UI thread. Steps that
    // come faster than frames (a held key) do not pile pictures up: at most one picture and its
    // scaled copy wait.
    if (m_leftOver.size() >= 2) {
        for (QImage &waiting : m_leftOver)
            releaseInBackground(std::move(waiting));
        m_leftOver.clear();
    }
    if (m_leftOver.isEmpty())
        QCoreApplication::postEvent(this, new QEvent(kReleaseEvent), Qt::LowEventPriority);
    m_leftOver.append(std::move(image));
}

void TfView::NextPicture()
{
    leaveOutGone(true);
    const QList<QByteArray> *list = pictureList();
    const std::optional<std::int32_t> next = list != nullptr
        ? viewer::nextPictureIndex(PictureIndex, static_cast<std::size_t>(list->size()))
        : std::nullopt;
    if (!next) {
        m_beep();
        Timer1->stop();
        return;
    }
    PictureIndex = *next;
    LayoutPicture();
    const QByteArray path = recordPath(PictureIndex);
    const QSize drawn = drawingSizeFor(PictureIndex);
    LoadedPicture picture;
    bool prepared = true;
    if (m_image2.path == path && coversDrawing(m_image2.image, m_image2.fullSize, drawn)) {
        picture.image = m_image2.image;
        picture.scaled = m_image2.scaled;
        picture.fullSize = m_image2.fullSize;
    } else if (m_preparer.isDecoding(path)) {
        picture = m_preparer.waitFor(path);
        if (!coversDrawing(picture.image, picture.fullSize, drawn))
            picture = {}; // decoded for a smaller drawing size
    }
    if (!picture.ok()) {
        // The prepared picture is another file's (or its decode failed): read this one now,
        // after letting go of a prepared picture no step will use.
        if (m_image2.path != recordPath(PictureIndex + viewer::kRecordStrings))
            setImage2({});
        picture = loadPictureFile(path, drawn, std::exchange(m_spare, {}), picturesUpright());
        prepared = false;
        if (!picture.ok()) {
            report(picture.error);
            return;
        }
    }
    showPicture(path, picture, prepared);
    ShowInfo();
    startLoaderRun();
}

void TfView::PreviousPicture()
{
    leaveOutGone(false);
    const QList<QByteArray> *list = pictureList();
    const std::optional<std::int32_t> previous = list != nullptr
        ? viewer::previousPictureIndex(PictureIndex, static_cast<std::size_t>(list->size()))
        : std::nullopt;
    if (!previous) {
        m_beep();
        return;
    }
    PictureIndex = *previous;
    LayoutPicture();
    const QByteArray path = recordPath(PictureIndex);
    // A prepared picture that no step can use any more goes before the new one is decoded.
    if (m_image2.path != recordPath(PictureIndex + viewer::kRecordStrings))
        setImage2({});
    loadAndShow(path);
}

bool TfView::loadAndShow(const QByteArray &path)
{
    const LoadedPicture picture = loadPictureFile(
        path, drawingSizeFor(PictureIndex), std::exchange(m_spare, {}), picturesUpright());
    if (!picture.ok()) {
        report(picture.error);
        return false;
    }
    showPicture(path, picture);
    ShowInfo();
    startLoaderRun();
    return true;
}

std::int32_t TfView::recordOf(const QByteArray &path) const
{
    const QList<QByteArray> *list = pictureList();
    for (std::int32_t i = 0; list != nullptr && !recordPath(i).isNull();
         i += viewer::kRecordStrings) {
        if (list->at(i) == path)
            return i;
    }
    return -1;
}

void TfView::leaveOut(std::int32_t from, std::int32_t records)
{
    QList<QByteArray> &list = fMain->PictureList;
    const std::int32_t strings = records * viewer::kRecordStrings;
    for (std::int32_t i = from; i < from + strings; i += viewer::kRecordStrings) {
        if (list.at(i) == m_image2.path)
            setImage2({});
    }
    // One removal for the whole run: a folder's worth of gone files costs one move of the list.
    list.remove(from, strings);
    if (from < PictureIndex)
        PictureIndex -= strings;
}

void TfView::leaveOutGone(bool forward)
{
    const int step = forward ? viewer::kRecordStrings : -viewer::kRecordStrings;
    std::int32_t records = 0;
    for (std::int32_t i = PictureIndex + step;
         !recordPath(i).isNull() && platform::isGone(recordPath(i));
         i += step)
        ++records;
    if (records == 0)
        return;
    leaveOut(forward ? PictureIndex + step : PictureIndex + records * step, records);
}

void TfView::pictureRenamed(const QByteArray &oldPath, const QByteArray &newPath)
{
    const std::int32_t r = recordOf(oldPath);
    if (r < 0)
        return;
    fMain->PictureList[r] = newPath;
    if (Image1->picturePath() == oldPath)
        Image1->setPicture(newPath,
            {Image1->picture(), Image1->scaledPicture(), Image1->naturalSize(), QString()});
    if (m_image2.path == oldPath)
        m_image2.path = newPath;
    if (m_animation.path() == oldPath)
        m_animation.renamed(newPath);
    if (OpenPath == oldPath)
        OpenPath = newPath;
    ShowInfo();
    startLoaderRun();
}

void TfView::pictureRemoved(const QByteArray &path)
{
    const std::int32_t r = recordOf(path);
    if (r < 0 || r == PictureIndex)
        return;
    leaveOut(r, 1);
    ShowInfo();
    startLoaderRun();
}

void TfView::startLoaderRun()
{
    QCoreApplication::postEvent(this, new QEvent(kLoadNextEvent), Qt::LowEventPriority);
}

bool TfView::takeLoaderEvent(QEvent *event)
{
    if (event->type() == kLoadNextEvent) {
        LoadNext();
        return true;
    }
    if (event->type() == kReleaseEvent) {
        for (QImage &image : m_leftOver)
            releaseInBackground(std::move(image));
        m_leftOver.clear();
        return true;
    }
    return false;
}

void TfView::LoadNext()
{
    // The picture after the one current now, not when the run was started.
    const QByteArray next = recordPath(PictureIndex + viewer::kRecordStrings);
    const QSize drawn = drawingSizeFor(PictureIndex + viewer::kRecordStrings);
    if (!next.isEmpty() && m_image2.path == next
        && coversDrawing(m_image2.image, m_image2.fullSize, drawn)) {
        releaseInBackground(std::exchange(m_spare, {}));
        return;
    }
    // A prepared picture of another file is of no use: it goes before the next decode is made.
    setImage2({});
    m_preparer.setUpright(picturesUpright());
    m_preparer.request(next, drawn, std::exchange(m_spare, {}));
}

void TfView::picturePrepared(const QByteArray &path, const LoadedPicture &picture)
{
    // Work for a picture the user has already stepped past is dropped.
    if (path != recordPath(PictureIndex + viewer::kRecordStrings))
        return;
    const QSize drawn = drawingSizeFor(PictureIndex + viewer::kRecordStrings);
    if (!coversDrawing(picture.image, picture.fullSize, drawn)) {
        // Decoded for a smaller drawing size: the window has grown or the mode changed since.
        m_preparer.setUpright(picturesUpright());
        m_preparer.request(path, drawn);
        return;
    }
    setImage2({path, picture.image, picture.scaled, picture.fullSize});
}

void TfView::report(const QString &text)
{
    m_reporting = true;
    m_report(text);
    m_reporting = false;
}

// ---- slideshow and commands -----------------------------------------------------------------

void TfView::checkInterval(int index)
{
    QAction *item = TimeItems[static_cast<std::size_t>(index)];
    for (QAction *a : TimeItems)
        a->setChecked(a == item);
    const int interval = item->data().toInt();
    // A running timer restarts only when the interval really changes.
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TfView::N95Click(QAction *item)
{
    if (!item->isChecked()) {
        item->setChecked(true); // chosen while already checked: nothing happens
        return;
    }
    const int interval = item->data().toInt();
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TfView::N2Click()
{
    if (!Timer1->isActive())
        Timer1->start();
}

void TfView::N3Click()
{
    Timer1->stop();
}

void TfView::Timer1Timer()
{
    // While a load error is on screen the slideshow waits for the user to close it.
    if (m_reporting)
        return;
    NextPicture();
    // Each picture is shown for the whole interval, counted from when it is on screen: a picture
    // that had to be decoded in the step would otherwise lose the decoding time.
    if (Timer1->isActive())
        Timer1->start();
}

void TfView::N1Click()
{
    PreviousPicture();
}

bool TfView::picturesUpright() const
{
    return fOp == nullptr || fOp->autoRotate();
}

} // namespace morvane
