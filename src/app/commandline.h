// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace morvane {

// What the command line `morvane [FOLDER | PICTURE]` asks for.
struct CommandLine
{
    // The folder or file to start on, as the bytes the system gave (so a name that is not UTF-8
    // still reaches its file); empty to start as usual.
    QByteArray path;
    // Set when the program ends at once with this exit code after printing `output`: 0 for
    // "--help" and "--version" (to standard output), 2 for a command line it does not take (to
    // standard error).
    std::optional<int> exitCode;
    QString output;
};

// Reads the command line `arguments` (the program's name first, then its arguments as bytes).
// Options are "-h"/"--help" and "-v"/"--version"; "--" ends the options. Any thread.
[[nodiscard]] CommandLine parseCommandLine(const QList<QByteArray> &arguments);

// Reads "--help" and "--version" alone from a command line that may still hold the toolkit's own
// options (such as "-platform offscreen"), so that both are answered before the program connects
// to a display; set only when one of them is given. Any thread.
[[nodiscard]] std::optional<CommandLine> parseInfoOptions(const QList<QByteArray> &arguments);

// The arguments argv[0] .. argv[argc - 1] as bytes.
[[nodiscard]] QList<QByteArray> argumentBytes(int argc, const char *const *argv);

} // namespace morvane
