// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QUrl>

namespace morvane::platform {

// Hands a file or a folder to the desktop environment to open: a file in the program the desktop
// associates with its type, a folder in the file manager, the help manual in the browser. The
// main window holds one; tests put a recorder in its place so that no program is started.
// UI thread only.
class Desktop
{
public:
    virtual ~Desktop() = default;

    // Asks the desktop to open `url`. False when no handler could be started at all; whether the
    // handler then manages to open the file is not known to the caller.
    [[nodiscard]] virtual bool openUrl(const QUrl &url) = 0;
};

// The desktop's own handlers (QDesktopServices::openUrl).
class SystemDesktop final : public Desktop
{
public:
    [[nodiscard]] bool openUrl(const QUrl &url) override;
};

// The file URL of the native path `nativePath` (absolute, "/" separated). Every byte that is not
// an unreserved character is percent-encoded, so a name that is not UTF-8 reaches the handler
// with its exact bytes; a trailing "/" is kept.
[[nodiscard]] QUrl fileUrl(const QByteArray &nativePath);

} // namespace morvane::platform
