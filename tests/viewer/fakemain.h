// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/windowrefs.h"

namespace morvane::test {

// A main window that the viewer's tests and viewer-bench stand in for the program's: its
// commands do nothing.
class FakeMain : public MainWindowBase
{
public:
    void ThumbnailList() override {}
    bool RenameListItem(const QByteArray &, const QByteArray &) override { return false; }
    void RebuildSelectedNames() override {}
    void RemoveSelectedItems() override {}
    void setToolCaption(int, const QString &) override {}
};

} // namespace morvane::test
