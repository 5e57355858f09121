// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace morvane::tools {

// Starts the program `words[0]` (a path, absolute or relative to the current directory) with
// `words[1...]` as its arguments, each handed over byte for byte, so a file name that is not
// UTF-8 reaches the program unchanged. No shell runs. The program runs detached in its own
// session, in this process's current directory and environment; nothing waits for it. Returns
// true when the program was started, false when it could not be (missing, not executable, no
// process left); then `error` (when given) holds the errno of the failure. Any thread.
[[nodiscard]] bool startDetached(const std::vector<std::string> &words, int *error = nullptr);

// Launches a registered tool on one file: the words of `command` (split by shell-like quoting,
// see splitCommand) with `nativeFile` (the file's full path as native bytes) appended as one
// argument. A program named without "/" is looked up on PATH. Returns false, having started
// nothing, when the command is empty or leaves a quote open, when the program is not found, or
// when it cannot be started; `why` (when given) then says so in Japanese, naming the command.
// UI thread only (PATH lookup through Qt).
[[nodiscard]] bool launchTool(
    const QString &command, const QByteArray &nativeFile, QString *why = nullptr);

} // namespace morvane::tools
