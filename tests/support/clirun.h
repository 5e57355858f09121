// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built morvane-cli (path in MORVANE_CLI) as a user runs it, without a shell, so every
// argument arrives byte for byte; collects both outputs and the exit status. Also a scratch
// folder for the files it is run on.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef MORVANE_CLI
#error "MORVANE_CLI must name the morvane-cli program"
#endif

namespace morvane::test {

struct CliResult
{
    int status = -1; // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A fresh folder in the system's temporary folder, removed with all it holds when it goes.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "morvane-cli-XXXXXX").string();
        if (::mkdtemp(name.data()) != nullptr)
            m_path = name;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // Empty when the folder could not be made.
    [[nodiscard]] const std::string &path() const noexcept { return m_path; }

private:
    std::string m_path;
};

// `addressSpace`: when not 0, the program's address space is limited to that many bytes
// (RLIMIT_AS, what `ulimit -v` sets). `workingFolder`: when not empty, the program runs in it.
inline CliResult runCli(const std::vector<std::string> &args,
    std::uint64_t addressSpace = 0,
    const std::string &workingFolder = {})
{
    int out[2];
    int err[2];
    if (::pipe(out) != 0)
        return {};
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return {};
    }
    std::string program = MORVANE_CLI;
    std::vector<std::string> copy = args;
    std::vector<char *> argv {program.data()};
    for (std::string &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit {addressSpace, addressSpace};
        if (addressSpace != 0 && ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(126);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ::_exit(126);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::close(out[1]);
        ::close(err[1]);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    CliResult r;
    // Both pipes at once, so a child that fills one while the other is read cannot stall.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *into[2] = {&r.out, &r.err};
    int open = 2;
    while (pid > 0 && open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                into[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd &p : fds) {
        if (p.fd >= 0)
            ::close(p.fd);
    }
    int wstatus = 0;
    if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    return r;
}

} // namespace morvane::test
