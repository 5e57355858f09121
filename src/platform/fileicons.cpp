// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fileicons.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeType>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

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
    QImage genericFileIcon()
    {
        const int s = FileIcons::kIconSize;
        QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
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

    QImage render(const QIcon &icon)
    {
        const int s = FileIcons::kIconSize;
        const QPixmap pixmap = icon.pixmap(QSize(s, s), 1.0);
        if (pixmap.isNull())
            return {};
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1.0);
        if (image.size() != QSize(s, s)) {
            // A theme with only smaller or larger sizes: the icon always fills 32 x 32.
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

QImage FileIcons::iconForMimeType(const QString &mimeName)
{
    const auto cached = m_byMimeType.constFind(mimeName);
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
        image = render(QIcon::fromTheme(name));
        if (!image.isNull())
            break;
    }
    if (image.isNull())
        image = genericFileIcon();
    m_byMimeType.insert(mimeName, image);
    return image;
}

} // namespace morvane::platform
