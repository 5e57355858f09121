// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/typeboxes.h"

#include "platform/fileicons.h"

#include <QPainter>

#include <system_error>

namespace morvane::browser {

TypeBoxes::TypeBoxes(std::shared_ptr<platform::FileIcons> icons, int boxSize, int iconSide)
    : m_icons(std::move(icons))
    , m_boxSize(boxSize)
    , m_iconSide(iconSide)
{}

TypeBoxes::~TypeBoxes() = default;

void TypeBoxes::lookUpAhead(QStringList fileNames)
{
    if (m_ahead.joinable() || fileNames.isEmpty())
        return;
    try {
        m_ahead = std::jthread([this, names = std::move(fileNames)](const std::stop_token &stop) {
            for (const QString &name : names) {
                if (stop.stop_requested())
                    return;
                // Qt's MIME database may be asked from any thread.
                const QString mime = m_icons->mimeTypeForFileName(name);
                const std::lock_guard lock(m_mutex);
                m_mimeByName.insert(name, mime);
            }
        });
    } catch (const std::system_error &) {
        // No thread: the types are looked up as their boxes are drawn.
    }
}

QString TypeBoxes::mimeTypeOf(const QString &fileName)
{
    {
        const std::lock_guard lock(m_mutex);
        const auto known = m_mimeByName.constFind(fileName);
        if (known != m_mimeByName.cend())
            return *known;
    }
    return m_icons->mimeTypeForFileName(fileName);
}

QImage TypeBoxes::box(const QString &fileName)
{
    const QString mime = mimeTypeOf(fileName);
    const auto found = m_byMimeType.constFind(mime);
    if (found != m_byMimeType.cend())
        return *found;
    QImage box(m_boxSize, m_boxSize, QImage::Format_RGB32);
    if (box.isNull())
        return box;
    box.fill(0xFFFFFFFFu);
    {
        QPainter painter(&box);
        // The theme's icon at the side it is drawn at, in device pixels: never scaled here.
        const QImage icon = m_icons->iconForMimeType(mime, m_iconSide);
        const int at = m_boxSize / 2 - m_iconSide / 2;
        painter.drawImage(at, at, icon);
    }
    m_byMimeType.insert(mime, box);
    return box;
}

} // namespace morvane::browser
