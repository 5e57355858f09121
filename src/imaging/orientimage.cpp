// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/formatdecoders.h"

#include <QTransform>

namespace morvane::imaging {

QImage orientedImage(const QImage &image, int orientation)
{
    // Turns by multiples of 90 degrees take Qt's exact pixel-moving path (no resampling).
    const auto turned = [](const QImage &from, qreal degrees) {
        return from.transformed(QTransform().rotate(degrees));
    };
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5: // along the main diagonal: a quarter turn clockwise, then mirrored left-right
        return turned(image, 90).mirrored(true, false);
    case 6:
        return turned(image, 90);
    case 7: // along the other diagonal: a quarter turn clockwise, then mirrored top-bottom
        return turned(image, 90).mirrored(false, true);
    case 8:
        return turned(image, 270);
    default:
        return image;
    }
}

QImage ownedPicture(const QImage &image, bool alpha)
{
    if (image.isNull())
        return {};
    return image.convertToFormat(
        alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

} // namespace morvane::imaging
