// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace morvane {

// The text the general error report shows: `text` with "." appended when its last character
// sorts above "." (compared as UTF-16 code units, as the platform's ordinal comparison does).
// An empty text stays empty.
[[nodiscard]] QString errorReportText(const QString &text);

// Shows the general error report: a message box with the application's title as caption, the
// error icon and an OK button. UI thread only.
void showErrorReport(const QString &text, QWidget *parent = nullptr);

// Runs `handler` and turns a UserError, a std::exception or anything else that escapes it into
// the general error report, so that no exception crosses a Qt signal. Every handler reached
// through a signal (actions, buttons, timers) is wrapped in it. UI thread only.
void reportErrors(const std::function<void()> &handler);

} // namespace morvane
