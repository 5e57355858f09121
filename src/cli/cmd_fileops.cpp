// SPDX-License-Identifier: GPL-3.0-or-later
// copy, move, trash, rename-file: the file operations without questions. An existing target is
// never replaced and nothing is deleted for good; each such file is left alone with a message.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "cli/nativepath.h"
#include "files/fileoperations.h"
#include "files/journaledops.h"
#include "files/stopsignals.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::cli {
namespace {

    int badUsage(const char *command, const char *usage, const std::string &why = {})
    {
        if (!why.empty())
            std::fprintf(stderr, "%s: %s\n", command, why.c_str());
        std::fprintf(stderr, "usage: morvane-cli %s\n", usage);
        return 2;
    }

    // The first `count` arguments as absolute paths; false after saying why one has none.
    bool absoluteAll(const char *command,
        const std::vector<std::string> &args,
        std::size_t count,
        QList<QByteArray> &paths)
    {
        for (std::size_t i = 0; i < count; ++i) {
            std::string why;
            const std::optional<QByteArray> path = absolute(args[i], why);
            if (!path) {
                std::fprintf(stderr, "%s: %s\n", command, why.c_str());
                return false;
            }
            paths.append(*path);
        }
        return true;
    }

    // Runs `request` (journaled) with a prompter that stops at SIGINT or SIGTERM as after a
    // cancel, so that no temporary file stays behind; the exit status (128 + the signal after
    // one).
    template <typename Request> int run(const char *command, Request request)
    {
        const files::StopSignals stop;
        ConsolePrompter console(command);
        files::StoppingPrompter prompter(console, stop);
        const bool ok = request(prompter).ok;
        if (const int signal = stop.received())
            return 128 + signal;
        return ok ? 0 : 1;
    }

    int transfer(const std::vector<std::string> &args, bool moving)
    {
        const char *command = moving ? "move" : "copy";
        const char *usage = moving ? "move SRC... DESTDIR" : "copy SRC... DESTDIR";
        if (args.size() < 2)
            return badUsage(command, usage);
        QList<QByteArray> paths;
        if (!absoluteAll(command, args, args.size(), paths))
            return 2;
        const QByteArray folder = paths.takeLast();
        struct stat st
        {
        };
        if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return badUsage(command, usage, "not a folder: " + args.back());
        const QList<QByteArray> targets = files::FileOperations::targetsIn(folder, paths);
        return run(command, [&](files::Prompter &prompter) {
            return moving ? files::journaledMove(prompter, command, paths, targets)
                          : files::journaledCopy(prompter, command, paths, targets);
        });
    }

} // namespace

int runCopy(const std::vector<std::string> &args)
{
    return transfer(args, false);
}

int runMove(const std::vector<std::string> &args)
{
    return transfer(args, true);
}

int runTrash(const std::vector<std::string> &args)
{
    if (args.empty())
        return badUsage("trash", "trash PATH...");
    QList<QByteArray> paths;
    if (!absoluteAll("trash", args, args.size(), paths))
        return 2;
    return run("trash", [&](files::Prompter &prompter) {
        return files::journaledRemove(prompter, paths);
    });
}

int runRenameFile(const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return badUsage("rename-file", "rename-file PATH NEWNAME");
    QList<QByteArray> paths;
    if (!absoluteAll("rename-file", args, 1, paths))
        return 2;
    return run("rename-file", [&](files::Prompter &prompter) {
        return files::journaledRename(prompter, paths.front(), QByteArray::fromStdString(args[1]));
    });
}

} // namespace morvane::cli
