// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fileicons.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeType>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace morvane::platform {
namespace {

    // Without a desktop session (a bare X server, the offscreen platform) Qt knows no icon theme
    // and searches only its resources; hicolor, the generic fallback, has no MIME type icons.
    // The freedesktop folders and the default theme stand in, so other files still show icons
    // of their type. A desktop's own theme is left alone.
    void ensureThemeWithFileIcons()
    {
        QStringList paths = QIcon::themeSearchPaths();
        QStringList dataDirs =
            qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (dataDirs.isEmpty())
            dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
        bool added = false;
        for (const QString &dir : std::as_const(dataDirs)) {
            const QString icons = dir + QStringLiteral("/icons");
            if (!paths.contains(icons) && QFileInfo(icons).isDir()) {
                paths.append(icons);
                added = true;
            }
        }
        if (added)
            QIcon::setThemeSearchPaths(paths);
        const QString theme = QIcon::themeName();
        if (theme.isEmpty())
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        else if (theme == QLatin1String("hicolor") && QIcon::fallbackThemeName().isEmpty())
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    }

    // A plain sheet of paper with a folded corner: drawn when no theme offers any file icon.
    QImage genericFileIcon(int side)
    {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Drawn on a grid of 32.
        painter.scale(side / double(FileIcons::kIconSize), side / double(FileIcons::kIconSize));
        QPainterPath sheet;
        sheet.moveTo(6.5, 2.5);
        sheet.lineTo(19.5, 2.5);
        sheet.lineTo(26.5, 9.5);
        sheet.lineTo(26.5, 29.5);
        sheet.lineTo(6.5, 29.5);
        sheet.closeSubpath();
        painter.setPen(QPen(QColor(0x77, 0x77, 0x77), 1.0));
        painter.setBrush(QColor(0xF6, 0xF6, 0xF6));
        painter.drawPath(sheet);
        QPainterPath fold;
        fold.moveTo(19.5, 2.5);
        fold.lineTo(19.5, 9.5);
        fold.lineTo(26.5, 9.5);
        painter.setBrush(QColor(0xD0, 0xD0, 0xD0));
        painter.drawPath(fold);
        return image;
    }

    // The theme's rendering for `s` x `s` device pixels: its image of that size, or its scalable
    // one drawn at that size, where the theme has them.
    QImage render(const QIcon &icon, int s)
    {
        const QPixmap pixmap = icon.pixmap(QSize(s, s), 1.0);
        if (pixmap.isNull())
            return {};
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1.0);
        if (image.size() != QSize(s, s)) {
            // A theme with only smaller or larger sizes: the icon always fills the side.
            image = image.scaled(s, s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        return image;
    }

} // namespace

FileIcons::FileIcons()
{
    ensureThemeWithFileIcons();
}

QString FileIcons::mimeTypeForFileName(const QString &fileName) const
{
    // By name only: reading the content of every other file would cost a read per file.
    return m_mimeDatabase.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
}

QImage FileIcons::iconForFileName(const QString &fileName)
{
    return iconForMimeType(mimeTypeForFileName(fileName));
}

QImage FileIcons::iconForMimeType(const QString &mimeName, int side)
{
    side = std::clamp(side, 1, 1024);
    const QString key = QString::number(side) + u' ' + mimeName;
    const auto cached = m_byMimeType.constFind(key);
    if (cached != m_byMimeType.cend())
        return *cached;

    const QMimeType mime = m_mimeDatabase.mimeTypeForName(mimeName);
    QImage image;
    const QString names[] = {
        mime.isValid() ? mime.iconName() : QString(),
        mime.isValid() ? mime.genericIconName() : QString(),
        QStringLiteral("application-x-generic"),
        QStringLiteral("text-x-generic"),
    };
    for (const QString &name : names) {
        if (name.isEmpty() || !QIcon::hasThemeIcon(name))
            continue;
        image = render(QIcon::fromTheme(name), side);
        if (!image.isNull())
            break;
    }
    if (image.isNull())
        image = genericFileIcon(side);
    m_byMimeType.insert(key, image);
    return image;
}

} // namespace morvane::platform
