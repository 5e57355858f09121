// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's input: keys, mouse buttons, the wheel, the popup menu's trigger, and scrolling
// and dragging a picture larger than the window.
#include "frame/errorreport.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"
#include "viewer/tfview_rects.h"
#include "viewer/viewlayout.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

namespace morvane {

namespace {

    constexpr int kWheelNotch = 120;
    // X11 and Wayland (evdev + 8) key codes of the main keyboard's digits 1 to 7, which stay the
    // digits when Shift turns the key's symbol into "!" or "\"".
    constexpr quint32 kScanCodeDigit1 = 10;
    constexpr quint32 kScanCodeDigit7 = 16;

} // namespace

// ---- navigation -----------------------------------------------------------------------------

void TfView::moveBox(int left, int top)
{
    Image1->move(left, top);
}

void TfView::ScrollForward()
{
    const QRect r = toRect(viewer::ScrollForward(toBox(Image1->geometry()), width(), height()));
    moveBox(r.x(), r.y());
}

void TfView::ScrollBack()
{
    const QRect r = toRect(viewer::ScrollBack(toBox(Image1->geometry()), width(), height()));
    moveBox(r.x(), r.y());
}

bool TfView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Image1 && watched != m_client)
        return ViewerBase::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A double click is a second press: it steps again on its release.
        const auto *e = static_cast<QMouseEvent *>(event);
        const QPoint p = e->position().toPoint();
        Image1MouseDown(e->buttons(), p.x(), p.y());
        return true;
    }
    case QEvent::MouseMove: {
        const auto *e = static_cast<QMouseEvent *>(event);
        const QPoint p = e->position().toPoint();
        Image1MouseMove(e->buttons(), p.x(), p.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        Image1MouseUp();
        return true;
    default:
        break;
    }
    return ViewerBase::eventFilter(watched, event);
}

void TfView::Image1MouseDown(Qt::MouseButtons buttons, int X, int Y)
{
    if (buttons.testFlag(Qt::LeftButton)) {
        DragAnchorX = X;
        DragAnchorY = Y;
        ClickPending = true;
    } else {
        ClickPending = false;
    }
    if (buttons.testFlag(Qt::MiddleButton)) {
        WheelStepMode = !WheelStepMode;
        if (WheelStepMode)
            setCursor(m_navigationCursor);
        else
            setCursor(Qt::ArrowCursor);
    }
}

void TfView::Image1MouseMove(Qt::MouseButtons buttons, int X, int Y)
{
    if (!buttons.testFlag(Qt::LeftButton))
        return;
    const QRect r = toRect(viewer::dragMove(
        toBox(Image1->geometry()), width(), height(), X, Y, DragAnchorX, DragAnchorY));
    moveBox(r.x(), r.y());
    ClickPending = false;
}

void TfView::Image1MouseUp()
{
    if (ClickPending)
        reportErrors([this] {
            NextPicture();
        });
}

void TfView::wheelEvent(QWheelEvent *event)
{
    if (zoomWheel(event))
        return;
    // Every 120 units of rotation make one event, however finely the device reports it.
    m_wheelDelta += event->angleDelta().y();
    while (m_wheelDelta <= -kWheelNotch) {
        m_wheelDelta += kWheelNotch;
        FormMouseWheelDown();
    }
    while (m_wheelDelta >= kWheelNotch) {
        m_wheelDelta -= kWheelNotch;
        FormMouseWheelUp();
    }
    event->accept();
}

void TfView::FormMouseWheelDown()
{
    if (WheelStepMode)
        NextPicture();
    else
        ScrollForward();
}

void TfView::FormMouseWheelUp()
{
    if (WheelStepMode)
        PreviousPicture();
    else
        ScrollBack();
}

void TfView::contextMenuEvent(QContextMenuEvent *event)
{
    ClickPending = false;
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

void TfView::keyPressEvent(QKeyEvent *event)
{
    FormKeyDown(event);
}

void TfView::FormKeyDown(QKeyEvent *event)
{
    if (zoomKey(event) || rotateKey(event)) {
        event->accept();
        return;
    }
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    int key = event->key();
    // With Shift held a digit key reports its shifted symbol; the key itself is what counts.
    if (!keypad && event->nativeScanCode() >= kScanCodeDigit1
        && event->nativeScanCode() <= kScanCodeDigit7)
        key = Qt::Key_1 + static_cast<int>(event->nativeScanCode() - kScanCodeDigit1);
    if (key >= Qt::Key_1 && key <= Qt::Key_7) {
        if (!keypad)
            checkInterval(key - Qt::Key_1);
        return;
    }
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_B:
        PreviousPicture();
        break;
    case Qt::Key_Right:
    case Qt::Key_F:
        NextPicture();
        break;
    case Qt::Key_Up:
        ScrollBack();
        break;
    case Qt::Key_Down:
        ScrollForward();
        break;
    case Qt::Key_G:
        N2Click();
        break;
    case Qt::Key_S:
        N3Click();
        break;
    case Qt::Key_H:
        checkDisplayMode(0);
        break;
    case Qt::Key_J:
        checkDisplayMode(1);
        break;
    case Qt::Key_K:
        checkDisplayMode(2);
        break;
    case Qt::Key_L:
        checkDisplayMode(3);
        break;
    case Qt::Key_I:
        N6Click();
        break;
    case Qt::Key_Q:
        N7Click();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace morvane
