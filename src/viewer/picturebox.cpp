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
        r.setSize(m_natural);
    setGeometry(r);
}

void PictureBox::setPicture(const QByteArray &path, const LoadedPicture &picture)
{
    m_path = path;
    m_image = picture.image;
    m_natural = picture.fullSize.isValid() ? picture.fullSize : m_image.size();
    m_scaled = picture.scaled;
    if (m_autoSize && !m_image.isNull())
        resize(m_natural);
    update();
}

QRect PictureBox::drawnRect() const
{
    if (m_image.isNull())
        return {};
    const viewer::BoxRect r = viewer::drawingRect(
        m_natural.width(), m_natural.height(), width(), height(), m_stretch, m_center);
    return {r.left, r.top, r.width, r.height};
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
