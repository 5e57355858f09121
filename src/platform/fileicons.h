// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QMimeDatabase>
#include <QString>

namespace morvane::platform {

// The icons that stand for other files (files that are not pictures): the desktop icon theme's
// icon for the MIME type that the file's name suggests (the content is not read). UI thread only:
// needs a QGuiApplication and uses QIcon, which is not for worker threads.
class FileIcons
{
public:
    static constexpr int kIconSize = 32; // device pixels

    // Without a desktop icon theme (no desktop session, the offscreen platform) this sets the
    // application's theme to the freedesktop default and adds the system icon folders to the
    // search path; a desktop's own theme is kept.
    FileIcons();

    // A kIconSize x kIconSize image (Format_ARGB32_Premultiplied, device pixel ratio 1) for the
    // file called `fileName`: the theme icon of its MIME type, else the theme's icon of the type's
    // generic kind, else a generic file icon (drawn here when the theme has none at all). Never
    // null. Cached per MIME type for the object's lifetime.
    [[nodiscard]] QImage iconForFileName(const QString &fileName);

    // The MIME type name the icon is chosen by ("text/plain", "application/octet-stream" for an
    // unknown name). Lets callers cache what they draw from the icon by the same key. Any thread:
    // it only asks Qt's MIME database, which is thread-safe.
    [[nodiscard]] QString mimeTypeForFileName(const QString &fileName) const;

    // The icon for a MIME type name as returned by mimeTypeForFileName(), `side` x `side` device
    // pixels (clamped to 1..1024): taken from the theme at that size (crisp on a screen of scale
    // 2 at twice kIconSize) rather than scaled from kIconSize.
    [[nodiscard]] QImage iconForMimeType(const QString &mimeName, int side = kIconSize);

private:
    QMimeDatabase m_mimeDatabase;
    QHash<QString, QImage> m_byMimeType; // by "SIDE MIMETYPE"
};

} // namespace morvane::platform
