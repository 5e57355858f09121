// SPDX-License-Identifier: GPL-3.0-or-later
// Checks on drawn images: where an image is coloured (not white) inside and outside a rectangle.
#pragma once

#include <QImage>
#include <QRect>

namespace morvane::testsupport {

// Pixels of an image inside a rectangle that are white or coloured, and coloured ones outside.
struct Coverage
{
    int insideWhite = 0;
    int insideColoured = 0;
    int outsideColoured = 0;
};

inline Coverage coverage(const QImage &picture, const QRect &rect)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    Coverage c;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool white = (image.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu;
            if (rect.contains(x, y))
                (white ? c.insideWhite : c.insideColoured)++;
            else if (!white)
                c.outsideColoured++;
        }
    }
    return c;
}

} // namespace morvane::testsupport
