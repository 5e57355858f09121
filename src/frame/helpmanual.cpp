// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/helpmanual.h"

#include <QDir>
#include <QFileInfo>

namespace morvane {

QString helpManualPath(const QString &programDir)
{
    const QDir dir(programDir);
    const QString beside = dir.filePath(QStringLiteral("morvane.html"));
    if (QFileInfo(beside).isFile())
        return beside;
    // The build system gives the data folder relative to the program's, as the install rules
    // place both; a package installed under any prefix keeps that relation.
    return QDir::cleanPath(dir.filePath(QStringLiteral(MORVANE_DATA_FROM_PROGRAM "/morvane.html")));
}

} // namespace morvane
