// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewcursor.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace morvane {

QCursor navigationCursor()
{
    // The two arrows drawn white with a black outline on a transparent 32 × 32 field, then split
    // into the cursor's two bit planes: the mask says where the cursor is opaque, the bitmap
    // which of those pixels are black.
    QImage art(32, 32, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        // Left-pointing arrow in the upper half: head at the left, shaft to the right.
        p.drawPolygon(QPolygon({{1, 7}, {8, 0}, {8, 4}, {21, 4}, {21, 10}, {8, 10}, {8, 14}}));
        // Right-pointing arrow in the lower half, its mirror image.
        p.drawPolygon(
            QPolygon({{30, 24}, {23, 17}, {23, 21}, {10, 21}, {10, 27}, {23, 27}, {23, 31}}));
    }
    QImage bits(32, 32, QImage::Format_RGB32);
    QImage mask(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb px = art.pixel(x, y);
            const bool opaque = qAlpha(px) > 127;
            const bool black = opaque && qGray(px) < 128;
            // In a cursor bitmap black (colour 1) is ink; in the mask black marks opaque pixels.
            bits.setPixel(x, y, black ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            mask.setPixel(x, y, opaque ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return QCursor(QBitmap::fromImage(bits, Qt::ThresholdDither),
        QBitmap::fromImage(mask, Qt::ThresholdDither),
        0,
        0);
}

} // namespace morvane
