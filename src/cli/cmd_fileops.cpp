// SPDX-License-Identifier: GPL-3.0-or-later
// copy, move, trash, rename-file: the file operations without questions. An existing target is
// never replaced and nothing is deleted for good; each such file is left alone with a message.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "cli/nativepath.h"
#include "platform/fileoperations.h"
#include "platform/undojournal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace morvane::cli {
namespace {

    int badUsage(const char *command, const char *usage, const std::string &why = {})
    {
        if (!why.empty())
            std::fprintf(stderr, "%s: %s\n", command, why.c_str());
        std::fprintf(stderr, "usage: morvane-cli %s\n", usage);
        return 2;
    }

    QList<QByteArray> absoluteAll(const std::vector<std::string> &args, std::size_t count)
    {
        QList<QByteArray> paths;
        for (std::size_t i = 0; i < count; ++i)
            paths.append(absolute(args[i]));
        return paths;
    }

    int status(const platform::RequestResult &r)
    {
        return r.ok ? 0 : 1;
    }

    int transfer(const std::vector<std::string> &args, bool moving)
    {
        const char *command = moving ? "move" : "copy";
        const char *usage = moving ? "move SRC... DESTDIR" : "copy SRC... DESTDIR";
        if (args.size() < 2)
            return badUsage(command, usage);
        const QByteArray folder = absolute(args.back());
        struct stat st
        {
        };
        if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return badUsage(command, usage, "not a folder: " + args.back());
        const QList<QByteArray> sources = absoluteAll(args, args.size() - 1);
        ConsolePrompter prompter(command);
        const QList<QByteArray> targets = platform::FileOperations::targetsIn(folder, sources);
        return status(moving ? platform::journaledMove(prompter, command, sources, targets)
                             : platform::journaledCopy(prompter, command, sources, targets));
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
    ConsolePrompter prompter("trash");
    return status(platform::journaledRemove(prompter, absoluteAll(args, args.size())));
}

int runRenameFile(const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return badUsage("rename-file", "rename-file PATH NEWNAME");
    ConsolePrompter prompter("rename-file");
    return status(
        platform::journaledRename(prompter, absolute(args[0]), QByteArray::fromStdString(args[1])));
}

} // namespace morvane::cli
