// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/windowrefs.h"
#include "viewer/pictureanimation.h"
#include "viewer/pictureloader.h"

#include <QAction>
#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QMenu;
class QTimer;

namespace morvane {

class PictureBox;

// The picture viewer window `fView`: one picture of `PictureList` at a time on black, in one of
// four display modes, with four information labels over it and a caption that tells the
// picture's place in the list and its file name. Created hidden at start-up (its creation
// handler reads section "View" of the settings file), shown by the main window's open command,
// hidden (never destroyed) when the user closes it, which writes section "View".
//
// Section "View" keeps the window's place as its frame's top-left ("Left", "Top") and the size
// of its client area ("Width", "Height"; the design client area is 632 × 446), as the main
// window does, so reading what was written gives the same window whatever the window manager's
// frame.
//
// After every step the picture that follows the current one is decoded on a worker thread and
// held as the prepared picture `Image2`, which remembers its file; a forward step takes it when
// it is the new current picture, waits for it when it is still decoding, and reads the file
// directly otherwise. Memory holds at most the shown picture, the prepared one and one decode in
// flight. A step leaves out of the picture list the pictures whose files are gone, without a
// message; the program's own renames, moves and deletes reach the list through pictureRenamed()
// and pictureRemoved(). UI thread only.
class TfView : public ViewerBase
{
    Q_OBJECT

public:
    explicit TfView(QString settingsPath, QWidget *parent = nullptr);
    ~TfView() override;

    // State of the window (besides OpenPath).
    std::int32_t PictureIndex = 0; // index in PictureList of the current picture's first string
    std::int32_t PicWidth = 0; // the current record's width and height
    std::int32_t PicHeight = 0;
    std::int32_t BoxLeft = 0; // the picture box as last laid out
    std::int32_t BoxTop = 0;
    std::int32_t BoxWidth = 632;
    std::int32_t BoxHeight = 446;
    std::int32_t DragAnchorX = 0;
    std::int32_t DragAnchorY = 0;
    bool ClickPending = false;
    bool WheelStepMode = true;

    // Controls.
    PictureBox *Image1 = nullptr;
    QLabel *Label1 = nullptr; // dimensions
    QLabel *Label2 = nullptr; // file size
    QLabel *Label3 = nullptr; // time stamp
    QLabel *Label4 = nullptr; // display area size
    QTimer *Timer1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N7 = nullptr; // "ファイラーを前に(&Q)"
    QAction *N1 = nullptr; // "１つ戻る(&B)"
    QAction *N2 = nullptr; // "スライドショー(&G)"
    QAction *N3 = nullptr; // "停止(&S)"
    QMenu *N9 = nullptr; // "時間"
    QAction *N6 = nullptr; // "情報表示(&I)"
    QMenu *N11 = nullptr; // "表示サイズ"
    // The interval items N96, N97, N91, N92, N93, N94, N95 (Tag = milliseconds) and the
    // display-mode items N8, N13, N14, N15 (Tag = mode), in menu order.
    std::array<QAction *, 7> TimeItems {};
    std::array<QAction *, 4> SizeItems {};

    // The prepared next picture: the file it was decoded from (empty when none) and the picture
    // (decoded at the size it is drawn at, see loadPictureFile; `fullSize` is its natural size).
    struct Prepared
    {
        QByteArray path;
        QImage image;
        QImage scaled;
        QSize fullSize;
    };
    [[nodiscard]] const Prepared &Image2() const noexcept { return m_image2; }

    // The operations, as the window's event handlers and menu items call them.
    void FormActivate();
    void LayoutPicture();
    void ShowInfo();
    void FormResize();
    void NextPicture();
    void PreviousPicture();
    void ScrollForward();
    void ScrollBack();
    void N1Click();
    void N2Click();
    void N3Click();
    void N6Click();
    void N7Click();
    void N15Click(QAction *item);
    void N95Click(QAction *item);
    void Timer1Timer();

    // The record of the picture on screen keeps its place while it is shown, also when its file
    // has gone: a step back onto it later leaves it out.
    void pictureRenamed(const QByteArray &oldPath, const QByteArray &newPath) override;
    void pictureRemoved(const QByteArray &path) override;
    void pictureTurned(const QByteArray &path) override;

    // The rotate items "右に回転" (R) and "左に回転" (Shift+R) at the end of the popup menu: they
    // ask `rotate` to turn the shown picture's file, enabled when `canRotate` says its
    // orientation can be written. Without them (the default) the items stay disabled.
    void setRotator(std::function<bool(const QByteArray &)> canRotate,
        std::function<void(const QByteArray &, bool)> rotate);
    QAction *RotateRight = nullptr;
    QAction *RotateLeft = nullptr;

    // The Tag of the checked display-mode item, or nullopt when none is checked.
    [[nodiscard]] std::optional<int> DisplayMode() const;

    // The navigation cursor (cursor 5).
    [[nodiscard]] const QCursor &navigationCursor() const noexcept { return m_navigationCursor; }

    // The worker that prepares the next picture (tests wait for it to fall idle).
    [[nodiscard]] PicturePreparer &preparer() noexcept { return m_preparer; }

    // What plays the shown picture when it is an animated GIF or WebP (tests drive its frames).
    [[nodiscard]] PictureAnimation &animation() noexcept { return m_animation; }

    // What sounds the beep at the ends of the list and what shows a load error; the defaults are
    // the system beep and the general error report. Tests record them instead.
    void setBeeper(std::function<void()> beep) { m_beep = std::move(beep); }
    void setErrorReporter(std::function<void(const QString &)> report)
    {
        m_report = std::move(report);
    }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Whether pictures are loaded upright by their Exif Orientation (the option "AutoRotate").
    [[nodiscard]] bool picturesUpright() const;
    void buildControls();
    void buildMenu();
    void FormCreate();
    void FormClose();
    void takeRequestSoon();
    void FormKeyDown(QKeyEvent *event);
    // Zoom and full screen (tfview_zoom.cpp). The zoom keys and Ctrl with the wheel: true when
    // taken. The zoom lasts until the picture is laid out again (a step, a mode, a resize).
    void buildZoomMenu();
    void buildRotateMenu();
    bool rotateKey(QKeyEvent *event);
    void rotateShown(bool clockwise);
    bool zoomKey(QKeyEvent *event);
    bool zoomWheel(QWheelEvent *event);
    [[nodiscard]] QPoint zoomAnchor() const;
    [[nodiscard]] QRect drawnRect() const;
    void zoomBy(int steps, QPoint anchor);
    void resetZoom();
    void toggleFullScreen();
    void escape();
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void Image1MouseDown(Qt::MouseButtons buttons, int X, int Y);
    void Image1MouseMove(Qt::MouseButtons buttons, int X, int Y);
    void Image1MouseUp();
    void checkDisplayMode(int tag);
    void checkInterval(int index);
    void readSettings();
    [[nodiscard]] bool writeSettings(QString *errorMessage) const;

    // fMain's PictureList (null before the window set has made the main window), and the path
    // of the record at `index` (a null array when no whole record starts there).
    [[nodiscard]] const QList<QByteArray> *pictureList() const;
    [[nodiscard]] QByteArray recordPath(std::int32_t index) const;
    // The size the picture of the record at `index` will be drawn at in the current display
    // mode and client area (device pixels), or an invalid size when it is drawn 1:1.
    [[nodiscard]] QSize drawingSizeFor(std::int32_t index) const;
    // Shows a loaded picture; keeps the picture it replaces as the prepared one when that is the
    // picture after the new current one, else lends its memory to the next decode (a quick step,
    // `afterFrame`) or frees it at once (a load has just made room for itself).
    void showPicture(const QByteArray &path, const LoadedPicture &picture, bool afterFrame = false);
    // Reads `path` for the current record's drawing and shows it with its texts, then prepares
    // the next; a failure is reported and leaves what is shown. True when it is shown.
    bool loadAndShow(const QByteArray &path);
    // Draws the next frame of the animation playing in the picture box, scaled to the drawing
    // size as a still picture is.
    void showFrame(const QImage &frame);
    // After a change of display mode or window size: decodes the shown picture again, at once,
    // when it lacks the detail of its new drawing size (wait cursor for a large one); a prepared
    // picture that lacks it is prepared anew on the worker.
    void decodeFinerIfNeeded();
    void moveBox(int left, int top);
    // The index of the record whose path is `path`, or -1.
    [[nodiscard]] std::int32_t recordOf(const QByteArray &path) const;
    // Takes `records` records from index `from` out of the picture list; PictureIndex keeps to
    // its record, which is not among them.
    void leaveOut(std::int32_t from, std::int32_t records);
    // Leaves out the records next to the current one, after it (`forward`) or before it, whose
    // files are gone, so that a step lands on a picture that is still there.
    void leaveOutGone(bool forward);
    // Starts a loader run: after the current event and its painting, LoadNext asks the worker for
    // the picture after the current one.
    void startLoaderRun();
    void LoadNext();
    // Handles the events the loader posts to itself (a loader run's start, pictures to free once
    // a frame is drawn); false for any other event.
    bool takeLoaderEvent(QEvent *event);
    void picturePrepared(const QByteArray &path, const LoadedPicture &picture);
    void report(const QString &text);
    // Replaces the prepared picture; the old one is freed at once, off the UI thread.
    void setImage2(Prepared prepared);
    // Frees a picture that is no longer shown or prepared, after the current frame is drawn.
    void letGo(QImage image);

    QString m_settingsPath;
    QWidget *m_client = nullptr;
    QCursor m_navigationCursor;
    PicturePreparer m_preparer;
    PictureAnimation m_animation {[this](const QImage &frame) {
                                      showFrame(frame);
                                  },
        this};
    Prepared m_image2;
    QList<QImage> m_leftOver; // pictures to free once the current frame is drawn
    QImage m_spare; // the picture a step let go of, whose memory the next decode may take
    QByteArray m_finerFailed; // the shown file, when decoding it again has failed
    int m_wheelDelta = 0; // wheel movement not yet making a 120-unit event
    int m_zoomWheel = 0; // the same with Ctrl held, for the zoom
    double m_zoom = 0; // the zoomed scale, 0 while the display mode lays the picture out
    bool m_reporting = false; // a load error is on screen: timer ticks wait
    bool m_activationBlocked = false; // set after a failed activation until the next deactivation
    std::function<void()> m_beep;
    std::function<void(const QString &)> m_report;
    std::function<bool(const QByteArray &)> m_canRotate;
    std::function<void(const QByteArray &, bool)> m_rotate;
};

} // namespace morvane
