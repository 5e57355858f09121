// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/stopsignals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvane::files {
namespace {

    // A signal handler reaches nothing but static storage; StopSignals owns it while it lives.
    volatile std::sig_atomic_t s_received = 0;
    volatile std::sig_atomic_t s_wake = -1; // the write end of StopSignals' pipe

    void record(int signal)
    {
        if (s_received == 0)
            s_received = signal;
        const int saved = errno;
        const char byte = 1;
        if (s_wake >= 0 && ::write(s_wake, &byte, 1) < 0) {
            // The pipe is full or gone: the signal is recorded all the same.
        }
        errno = saved;
    }

} // namespace

StopSignals::StopSignals()
{
    s_received = 0;
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) == 0)
        s_wake = m_pipe[1];
    struct sigaction action
    {
    };
    action.sa_handler = record;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep the copy loops simple: the request looks at the signal after each
    // step, at most one buffer later.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_previousInt);
    ::sigaction(SIGTERM, &action, &m_previousTerm);
}

StopSignals::~StopSignals()
{
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    s_wake = -1;
    for (const int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

int StopSignals::descriptor() const noexcept
{
    return m_pipe[0];
}

int StopSignals::received() const noexcept
{
    return s_received;
}

ReplaceAnswer StoppingPrompter::askReplace(
    const QByteArray &source, const QByteArray &target, bool more)
{
    if (m_signals.received() != 0)
        return ReplaceAnswer::Cancel;
    return m_inner.askReplace(source, target, more);
}

bool StoppingPrompter::confirm(const QString &question)
{
    return m_signals.received() == 0 && m_inner.confirm(question);
}

void StoppingPrompter::reportError(const QString &message)
{
    m_inner.reportError(message);
}

void StoppingPrompter::progressStarted(const QString &title, qint64 total)
{
    m_inner.progressStarted(title, total);
}

bool StoppingPrompter::progressed(qint64 done, const QByteArray &current)
{
    return m_inner.progressed(done, current) && m_signals.received() == 0;
}

void StoppingPrompter::progressFinished()
{
    m_inner.progressFinished();
}

} // namespace morvane::files
