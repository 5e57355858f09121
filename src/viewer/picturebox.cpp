// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/picturebox.h"

#include "viewer/pictureloader.h"
#include "viewer/viewlayout.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace morvane {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    // Nothing is filled: where the picture is not drawn, the window's black shows through.
    setAttribute(Qt::WA_NoSystemBackground);
}

void PictureBox::setSwitches(bool center, bool stretch, bool autoSize)
{
    if (center == m_center && stretch == m_stretch && autoSize == m_autoSize)
        return;
    m_center = center;
    m_stretch = stretch;
    m_autoSize = autoSize;
    update();
}

void PictureBox::setBounds(const QRect &bounds)
{
    QRect r = bounds;
    if (m_autoSize && !m_image.isNull())
        r.setSize(logicalNatural());
    setGeometry(r);
}

void PictureBox::setPicture(const QByteArray &path, const LoadedPicture &picture)
{
    m_path = path;
    m_image = picture.image;
    m_natural = picture.fullSize.isValid() ? picture.fullSize : m_image.size();
    m_scaled = picture.scaled;
    if (m_autoSize && !m_image.isNull())
        resize(logicalNatural());
    update();
}

QRect PictureBox::drawnRect() const
{
    if (m_image.isNull())
        return {};
    const QSize natural = logicalNatural();
    const viewer::BoxRect r = viewer::drawingRect(
        natural.width(), natural.height(), width(), height(), m_stretch, m_center);
    return {r.left, r.top, r.width, r.height};
}

QSize PictureBox::logicalNatural() const
{
    const qreal dpr = devicePixelRatioF();
    return {
        viewer::logicalSide(m_natural.width(), dpr), viewer::logicalSide(m_natural.height(), dpr)};
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    const QRect dest = drawnRect();
    if (dest.isEmpty())
        return;
    QPainter p(this);
    const QRect exposed = event->rect() & dest;
    if (exposed.isEmpty())
        return;
    const qreal dpr = devicePixelRatioF();
    if (dest.size() == m_image.size() && dpr == 1.0) {
        // 1:1: only the exposed part is copied, whatever the picture's size.
        p.drawImage(exposed, m_image, exposed.translated(-dest.topLeft()));
        return;
    }
    if (dest.size() == logicalNatural() && m_image.size() == m_natural) {
        // 1:1 on a high-density screen: one picture pixel per device pixel, drawn unscaled
        // (a side of odd pixels takes half a logical pixel more than its rounded box).
        const QPointF origin = QPointF(dest.topLeft()) * dpr;
        const QRectF source =
            QRectF(QPointF(exposed.topLeft()) * dpr - origin, QSizeF(exposed.size()) * dpr)
                .intersected(QRectF(m_image.rect()));
        p.scale(1.0 / dpr, 1.0 / dpr);
        p.drawImage(source.translated(origin), m_image, source);
        return;
    }
    const QSize pixels(static_cast<int>(std::lround(dest.width() * dpr)),
        static_cast<int>(std::lround(dest.height() * dpr)));
    if (m_scaled.size() != pixels) {
        m_scaled = smoothScaled(m_image, pixels);
        if (m_scaled.isNull()) {
            // No memory for a smooth copy: a rough one beats an empty window.
            p.drawImage(dest, m_image);
            return;
        }
    }
    m_scaled.setDevicePixelRatio(dpr);
    const QRect source(QPointF((exposed.topLeft() - dest.topLeft()) * dpr).toPoint(),
        QSizeF(exposed.size() * dpr).toSize());
    p.drawImage(exposed, m_scaled, source);
}

} // namespace morvane
