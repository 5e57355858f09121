// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/captionorder.h"

#include <QLocale>

namespace morvane::platform {

CaptionOrder::CaptionOrder()
    : m_collator(QLocale::system())
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
}

int CaptionOrder::compare(const QString &a, const QString &b) const
{
    const int c = m_collator.compare(a, b);
    if (c != 0)
        return c;
    return QString::compare(a, b, Qt::CaseSensitive);
}

} // namespace morvane::platform
