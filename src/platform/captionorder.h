// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCollator>
#include <QString>

namespace morvane::platform {

// The file list's sort order: locale-aware comparison of captions for the system locale,
// case-insensitive, numeric mode off. Ties (captions equal to the collator) fall back to the
// code-unit order so the order is total and stable. Not thread-safe: one instance per thread.
class CaptionOrder
{
public:
    CaptionOrder();
    [[nodiscard]] int compare(const QString &a, const QString &b) const;
    [[nodiscard]] bool operator()(const QString &a, const QString &b) const
    {
        return compare(a, b) < 0;
    }

private:
    QCollator m_collator;
};

} // namespace morvane::platform
