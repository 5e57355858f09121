// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/fileoperations.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>

class QProgressDialog;

namespace morvane::files {

// The file operations' questions, error reports and progress as the desktop shows them: a
// question box with "はい" / "すべてはい" / "いいえ" / "キャンセル" before a file is replaced
// (naming both files with their sizes and dates), a yes/no box, an error box in the manner of the
// general error report (the application's title as caption, the error icon, OK), and a progress
// dialog with "キャンセル" that appears only when the request is expected to run longer than about
// half a second of work. A question or error box stops that clock and hides the progress dialog
// while it waits, so the progress never covers it; the dialog comes back when work goes on. The
// boxes are modal over `parent`. UI thread only.
class DialogPrompter final : public Prompter
{
public:
    explicit DialogPrompter(QWidget *parent = nullptr);
    ~DialogPrompter() override;
    DialogPrompter(const DialogPrompter &) = delete;
    DialogPrompter &operator=(const DialogPrompter &) = delete;

    [[nodiscard]] ReplaceAnswer askReplace(
        const QByteArray &source, const QByteArray &target, bool more) override;
    [[nodiscard]] bool confirm(const QString &question) override;
    void reportError(const QString &message) override;
    void progressStarted(const QString &title, qint64 total) override;
    [[nodiscard]] bool progressed(qint64 done, const QByteArray &current) override;
    void progressFinished() override;

    // The progress dialog while a request runs (null otherwise); for screenshots and tests.
    [[nodiscard]] QProgressDialog *progressDialog() const noexcept { return m_progress.get(); }

private:
    // Stops and restarts the clock of the work; the progress dialog is hidden meanwhile.
    void pauseProgress();
    void resumeProgress();
    [[nodiscard]] qint64 workMs() const;

    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_progress;
    QString m_title;
    qint64 m_total = 0;
    QElapsedTimer m_clock; // since progressStarted
    qint64 m_pausedMs = 0; // time spent waiting for answers since then
    qint64 m_pauseStart = 0;
};

// The text of the replace question for `target` (and the facts of both files), as DialogPrompter
// shows it: the main text and the informative text below it.
struct ReplaceQuestionText
{
    QString text;
    QString details;
};
[[nodiscard]] ReplaceQuestionText replaceQuestionText(
    const QByteArray &source, const QByteArray &target);

} // namespace morvane::files
