// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/typeboxes.h"

#include "platform/fileicons.h"

#include <QPainter>

namespace morvane::browser {

TypeBoxes::TypeBoxes(std::shared_ptr<platform::FileIcons> icons, int boxSize)
    : m_icons(std::move(icons))
    , m_boxSize(boxSize)
{}

QImage TypeBoxes::box(const QString &fileName)
{
    const QString mime = m_icons->mimeTypeForFileName(fileName);
    const auto found = m_byMimeType.constFind(mime);
    if (found != m_byMimeType.cend())
        return *found;
    QImage box(m_boxSize, m_boxSize, QImage::Format_RGB32);
    if (box.isNull())
        return box;
    box.fill(0xFFFFFFFFu);
    {
        QPainter painter(&box);
        const int at = m_boxSize / 2 - platform::FileIcons::kIconSize / 2;
        painter.drawImage(at, at, m_icons->iconForMimeType(mime));
    }
    m_byMimeType.insert(mime, box);
    return box;
}

} // namespace morvane::browser
