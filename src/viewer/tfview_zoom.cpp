// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's zoom and full screen: + and - (and Ctrl with the wheel) zoom in steps around the
// pointer, 0 goes back to the display mode, F11 fills the screen, Esc leaves it or closes.
#include "frame/errorreport.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"
#include "viewer/tfview_rects.h"
#include "viewer/viewzoom.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QWheelEvent>

namespace morvane {

namespace {

    // A zoomed picture is scaled once for drawing; this bounds that copy (about 256 MiB).
    constexpr double kMaxZoomPixels = 64e6;

} // namespace

void TfView::buildZoomMenu()
{
    PopupMenu1->addSeparator();
    struct Row
    {
        const char *caption; // UTF-8; the key after the tab is what the menu lists
        std::function<void()> run;
    };
    const Row rows[] = {
        {"拡大\t+",
            [this] {
                zoomBy(1, zoomAnchor());
            }},
        {"縮小\t-",
            [this] {
                zoomBy(-1, zoomAnchor());
            }},
        {"表示モードに戻す\t0",
            [this] {
                resetZoom();
            }},
        {"全画面表示\tF11",
            [this] {
                toggleFullScreen();
            }},
        {"全画面表示をやめる / 閉じる\tEsc",
            [this] {
                escape();
            }},
    };
    for (const Row &r : rows) {
        QAction *a = PopupMenu1->addAction(QString::fromUtf8(r.caption));
        connect(a, &QAction::triggered, this, [run = r.run] {
            reportErrors(run);
        });
    }
}

bool TfView::zoomKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // "+" without Shift on many layouts
        zoomBy(1, zoomAnchor());
        return true;
    case Qt::Key_Minus:
        zoomBy(-1, zoomAnchor());
        return true;
    case Qt::Key_0:
        resetZoom();
        return true;
    case Qt::Key_F11:
        toggleFullScreen();
        return true;
    case Qt::Key_Escape:
        escape();
        return true;
    default:
        return false;
    }
}

bool TfView::zoomWheel(QWheelEvent *event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier))
        return false;
    m_zoomWheel += event->angleDelta().y();
    const int steps = m_zoomWheel / 120;
    m_zoomWheel -= steps * 120;
    if (steps != 0)
        zoomBy(steps, event->position().toPoint());
    event->accept();
    return true;
}

QPoint TfView::zoomAnchor() const
{
    // The pointer when it is over the window, else the window's middle.
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    return rect().contains(pointer) ? pointer : rect().center();
}

QRect TfView::drawnRect() const
{
    // Where the picture is drawn in the window: the box's drawing rule inside its geometry.
    const QRect box(Image1->parentWidget()->mapTo(this, Image1->pos()), Image1->size());
    const qreal dpr = devicePixelRatioF();
    const viewer::BoxRect in = viewer::drawingRect(viewer::logicalSide(PicWidth, dpr),
        viewer::logicalSide(PicHeight, dpr),
        box.width(),
        box.height(),
        Image1->isStretched(),
        Image1->isCentered());
    return toRect(in).translated(box.topLeft());
}

void TfView::zoomBy(int steps, QPoint anchor)
{
    if (PicWidth <= 0 || PicHeight <= 0 || Image1->isHidden())
        return;
    const QRect drawn = drawnRect();
    const double scale = m_zoom > 0 ? m_zoom : static_cast<double>(drawn.width()) / PicWidth;
    const double next =
        viewer::zoomStep(scale, steps, viewer::maxZoomScale(PicWidth, PicHeight, kMaxZoomPixels));
    const viewer::BoxRect r =
        viewer::zoomAround(toBox(drawn), scale, next, anchor.x(), anchor.y(), PicWidth, PicHeight);
    m_zoom = next;
    Image1->setSwitches(false, true, false);
    Image1->setBounds(
        QRect(Image1->parentWidget()->mapFrom(this, QPoint(r.left, r.top)), toRect(r).size()));
}

void TfView::resetZoom()
{
    m_zoom = 0;
    LayoutPicture();
}

void TfView::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void TfView::escape()
{
    if (isFullScreen())
        showNormal();
    else
        close();
}

} // namespace morvane
