// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/toolbarimages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace morvane {

namespace {

    // Whether `image` has a pixel that is not fully transparent.
    bool drawsSomething(const QImage &image)
    {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x) {
                if (qAlpha(line[x]) != 0)
                    return true;
            }
        }
        return false;
    }

    // Circular arrow, open at the top right, its head pointing clockwise.
    void drawRefresh(QPainter &p)
    {
        const QColor green(0x2e, 0x8b, 0x3a);
        p.setPen(QPen(green, 2.0, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        // From 60 degrees round through the bottom to 10 degrees (counter-clockwise angles).
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(6.0, 0.5);
        head.lineTo(10.5, 3.5);
        head.lineTo(6.0, 6.5);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawPath(head);
    }

    // A small picture (sky, sun, hill) inside a dashed selection frame.
    void drawSelectPictures(QPainter &p)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8c, 0xc8, 0xf0));
        p.drawRect(QRectF(3, 3, 10, 10));
        p.setBrush(QColor(0xf5, 0xc2, 0x11));
        p.drawEllipse(QRectF(9, 4, 3, 3));
        QPainterPath hill;
        hill.moveTo(3, 13);
        hill.lineTo(7, 7.5);
        hill.lineTo(10, 10.5);
        hill.lineTo(13, 8.5);
        hill.lineTo(13, 13);
        hill.closeSubpath();
        p.setBrush(QColor(0x3a, 0x8f, 0x3a));
        p.drawPath(hill);
        QPen dash(QColor(0x1c, 0x4f, 0xa8), 1.0, Qt::CustomDashLine);
        dash.setDashPattern({2, 1});
        p.setPen(dash);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
    }

    // A name field with text and a caret, and a pencil writing into it.
    void drawRename(QPainter &p)
    {
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.0));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(0.5, 4.5, 13, 7));
        p.setPen(QPen(QColor(0x1c, 0x4f, 0xa8), 1.0));
        p.drawLine(QPointF(2.5, 8), QPointF(6.5, 8));
        p.setPen(QPen(Qt::black, 1.0));
        p.drawLine(QPointF(8.5, 6), QPointF(8.5, 10));
        // The pencil, from the top right down to its tip at the field's right end.
        QPainterPath body;
        body.moveTo(15.5, 2.0);
        body.lineTo(11.0, 12.0);
        body.lineTo(9.5, 11.3);
        body.lineTo(14.0, 1.3);
        body.closeSubpath();
        p.setPen(QPen(QColor(0x7a, 0x4a, 0x00), 0.8));
        p.setBrush(QColor(0xf5, 0xb8, 0x2e));
        p.drawPath(body);
        QPainterPath tip;
        tip.moveTo(11.0, 12.0);
        tip.lineTo(9.6, 15.0);
        tip.lineTo(9.5, 11.3);
        tip.closeSubpath();
        p.setBrush(QColor(0x40, 0x40, 0x40));
        p.drawPath(tip);
    }

    // Two sheets, one behind the other, and an arrow carrying them to the right.
    void drawCopyMove(QPainter &p)
    {
        p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.0));
        p.setBrush(QColor(0xd8, 0xd8, 0xd8));
        p.drawRect(QRectF(0.5, 0.5, 7, 9));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 3.5, 7, 9));
        p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.0));
        p.drawLine(QPointF(5, 6.5), QPointF(9, 6.5));
        p.drawLine(QPointF(5, 8.5), QPointF(9, 8.5));
        const QColor blue(0x1c, 0x5f, 0xc8);
        p.setPen(QPen(blue, 2.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(8, 13), QPointF(12.5, 13));
        QPainterPath head;
        head.moveTo(12, 9.5);
        head.lineTo(16, 13);
        head.lineTo(12, 16);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawPath(head);
    }

} // namespace

QImage drawnToolImage(int index, int size)
{
    if (index < RefreshImage || index > CopyMoveImage || size <= 0)
        return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (index) {
    case RefreshImage:
        drawRefresh(p);
        break;
    case SelectPicturesImage:
        drawSelectPictures(p);
        break;
    case RenameImage:
        drawRename(p);
        break;
    default:
        drawCopyMove(p);
        break;
    }
    p.end();
    return image;
}

std::array<QIcon, 4> toolImages()
{
    // Theme names tried in order, per image index.
    static const char *const names[][3] = {
        {"view-refresh", "view-refresh-symbolic", nullptr},
        {"edit-select-all", "edit-select-all-symbolic", nullptr},
        {"edit-rename", "document-edit", "document-edit-symbolic"},
        {"edit-copy", "edit-copy-symbolic", nullptr},
    };
    std::array<QIcon, 4> themed;
    bool complete = true;
    for (std::size_t i = 0; i < themed.size() && complete; ++i) {
        for (const char *name : names[i]) {
            if (name == nullptr)
                break;
            const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
            if (!icon.isNull() && drawsSomething(icon.pixmap(QSize(16, 16), 1.0).toImage())) {
                themed[i] = icon;
                break;
            }
        }
        complete = !themed[i].isNull();
    }
    if (complete)
        return themed;
    // One image missing from the theme: all four are drawn here, so the bar keeps one look.
    std::array<QIcon, 4> drawn;
    for (std::size_t i = 0; i < drawn.size(); ++i)
        drawn[i] = drawnToolIcon(static_cast<int>(i));
    return drawn;
}

QIcon drawnToolIcon(int index)
{
    if (index < RefreshImage || index > CopyMoveImage)
        return {};
    // One drawing per device size of a 16-pixel button at the usual screen scales, so no scale
    // enlarges or shrinks an image.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(drawnToolImage(index, size)));
    return icon;
}

QIcon toolImage(int index)
{
    if (index < RefreshImage || index > CopyMoveImage)
        return {};
    return toolImages()[static_cast<std::size_t>(index)];
}

} // namespace morvane
