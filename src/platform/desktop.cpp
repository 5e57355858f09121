// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop.h"

#include <QDesktopServices>

namespace morvane::platform {

bool SystemDesktop::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QUrl fileUrl(const QByteArray &nativePath)
{
    // QUrl::fromLocalFile would take a QString, in which bytes that are not UTF-8 are already
    // lost; percent-encoding the bytes keeps them, and QUrl leaves undecodable escapes alone.
    return QUrl::fromEncoded(
        QByteArrayLiteral("file://") + nativePath.toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace morvane::platform
