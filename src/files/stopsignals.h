// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/fileoperations.h"

#include <csignal>

namespace morvane::files {

// While an object lives, SIGINT and SIGTERM no longer end the process at once: the first one is
// recorded, and a request run through a StoppingPrompter stops at its next step as after
// "キャンセル" (its temporary file removed, the folders it made given their bits or removed when
// empty). The caller then exits with 128 + the signal. One object at a time per process, made on
// the main thread before other threads start.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals(); // the previous handling comes back
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // 0, or the first of the two signals that arrived. Any thread.
    [[nodiscard]] int received() const noexcept;
    // A descriptor that becomes readable when a signal arrives, for an event loop to watch
    // (QSocketNotifier); -1 when it could not be made.
    [[nodiscard]] int descriptor() const noexcept;

private:
    struct sigaction m_previousInt
    {
    };
    struct sigaction m_previousTerm
    {
    };
    int m_pipe[2] = {-1, -1};
};

// Passes every question and report to `inner` and cancels the request once `stop` has
// received a signal. Both must outlive the object.
class StoppingPrompter final : public Prompter
{
public:
    StoppingPrompter(Prompter &inner, const StopSignals &stop) noexcept
        : m_inner(inner)
        , m_signals(stop)
    {}

    [[nodiscard]] ReplaceAnswer askReplace(
        const QByteArray &source, const QByteArray &target, bool more) override;
    [[nodiscard]] bool confirm(const QString &question) override;
    void reportError(const QString &message) override;
    void progressStarted(const QString &title, qint64 total) override;
    [[nodiscard]] bool progressed(qint64 done, const QByteArray &current) override;
    void progressFinished() override;

private:
    Prompter &m_inner;
    const StopSignals &m_signals;
};

} // namespace morvane::files
