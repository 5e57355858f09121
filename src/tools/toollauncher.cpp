// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/toollauncher.h"

#include "tools/commandsplit.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ; // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace morvane::tools {

namespace {

    // Runs in a child of a process that may hold other threads: only async-signal-safe calls
    // from here until exec, and nothing that allocates.
    [[noreturn]] void execInChild(char *const argv[], int reportFd)
    {
        // Ignored or blocked signals would pass on to the tool through exec.
        struct sigaction defaults
        {
        };
        defaults.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &defaults, nullptr);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(argv[0], argv, environ);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(reportFd, &error, sizeof error);
        ::_exit(127);
    }

} // namespace

bool startDetached(const std::vector<std::string> &words, int *failure)
{
    if (failure != nullptr)
        *failure = ENOENT;
    if (words.empty() || words.front().empty())
        return false;
    // Everything the child needs is made before the fork.
    std::vector<char *> argv;
    argv.reserve(words.size() + 1);
    for (const std::string &w : words)
        argv.push_back(const_cast<char *>(w.c_str())); // NOLINT: execve's historical signature
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it
    // unwritten (close-on-exec), which the parent reads as end of file.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        if (failure != nullptr)
            *failure = errno;
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        if (failure != nullptr)
            *failure = errno;
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The intermediate child starts the tool in a new session and leaves at once, so the
        // tool is nobody's child here (no zombie) and a signal to this program's terminal or
        // process group does not reach it.
        ::close(report[0]);
        ::setsid();
        const pid_t tool = ::fork();
        if (tool == 0)
            execInChild(argv.data(), report[1]);
        if (tool < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (failure != nullptr)
        *failure = got == static_cast<ssize_t>(sizeof error) ? error : (got == 0 ? 0 : EIO);
    return got == 0;
}

bool launchTool(const QString &command, const QByteArray &nativeFile, QString *why)
{
    const auto fail = [why](const QString &text) {
        if (why != nullptr)
            *why = text;
        return false;
    };
    const QByteArray bytes = QFile::encodeName(command);
    std::optional<std::vector<std::string>> words =
        toolArguments(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            std::string_view(nativeFile.constData(), static_cast<std::size_t>(nativeFile.size())));
    if (command.trimmed().isEmpty())
        return fail(
            QStringLiteral("ツールのコマンドが登録されていません。オプションで登録してください。"));
    if (!words)
        return fail(QStringLiteral("コマンド「%1」の引用符が閉じていません。").arg(command));
    std::string &program = words->front();
    const QString name = QFile::decodeName(program.c_str());
    if (program.empty())
        return fail(QStringLiteral("コマンド「%1」にプログラムがありません。").arg(command));
    if (program.find('/') == std::string::npos) {
        const QString found = QStandardPaths::findExecutable(name);
        if (found.isEmpty())
            return fail(QStringLiteral("コマンド「%1」が見つかりません。").arg(name));
        program = QFile::encodeName(found).toStdString();
    }
    int error = 0;
    if (startDetached(*words, &error))
        return true;
    if (error == ENOENT)
        return fail(QStringLiteral("コマンド「%1」が見つかりません。").arg(name));
    if (error == EACCES)
        return fail(
            QStringLiteral("コマンド「%1」は実行できません（実行の許可がありません）。").arg(name));
    return fail(QStringLiteral("コマンド「%1」を起動できませんでした。\n%2")
                    .arg(name, QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace morvane::tools
