// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace morvane {

// Shows the wait cursor for as long as it lives, so every way out of a long operation (an
// exception included) restores the normal cursor. UI thread only.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace morvane
