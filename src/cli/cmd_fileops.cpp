// SPDX-License-Identifier: GPL-3.0-or-later
// copy, move, trash, rename-file: the file operations without questions. An existing target is
// never replaced and nothing is deleted for good; each such file is left alone with a message.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "platform/fileoperations.h"
#include "platform/stopsignals.h"

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

    // The argument as an absolute native path (bytes unchanged), or the reason it has none: an
    // empty argument would name the working folder itself, and a relative one whose working
    // folder is gone would be resolved against "/".
    std::optional<QByteArray> absolute(const std::string &arg, std::string &why)
    {
        QByteArray path = QByteArray::fromStdString(arg);
        if (path.isEmpty()) {
            why = "空のパスは指定できません。";
            return std::nullopt;
        }
        if (path.startsWith('/'))
            return path;
        std::string cwd(4096, '\0');
        const char *got = nullptr;
        while ((got = ::getcwd(cwd.data(), cwd.size())) == nullptr && errno == ERANGE)
            cwd.resize(cwd.size() * 2);
        if (got == nullptr || cwd.front() != '/') {
            why = "作業フォルダーが読めないため、相対パス「" + arg + "」は使えません。";
            return std::nullopt;
        }
        QByteArray folder(cwd.c_str());
        return folder.endsWith('/') ? folder + path : folder + '/' + path;
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

    // Runs `request` on file operations that stop at SIGINT or SIGTERM as after a cancel, so
    // that no temporary file stays behind; the exit status (128 + the signal after one).
    template <typename Request> int run(const char *command, Request request)
    {
        const platform::StopSignals stop;
        ConsolePrompter console(command);
        platform::StoppingPrompter prompter(console, stop);
        platform::FileOperations operations(prompter);
        const bool ok = request(operations).ok;
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
        const QList<QByteArray> targets = platform::FileOperations::targetsIn(folder, paths);
        return run(command, [&](platform::FileOperations &operations) {
            return moving ? operations.move(paths, targets) : operations.copy(paths, targets);
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
    return run("trash", [&](platform::FileOperations &operations) {
        return operations.remove(paths);
    });
}

int runRenameFile(const std::vector<std::string> &args)
{
    if (args.size() != 2)
        return badUsage("rename-file", "rename-file PATH NEWNAME");
    QList<QByteArray> paths;
    if (!absoluteAll("rename-file", args, 1, paths))
        return 2;
    return run("rename-file", [&](platform::FileOperations &operations) {
        return operations.rename(paths.front(), QByteArray::fromStdString(args[1]));
    });
}

} // namespace morvane::cli
