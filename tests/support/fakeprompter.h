// SPDX-License-Identifier: GPL-3.0-or-later
// A prompter for tests: the answers are given beforehand, and everything the file operations ask
// or report is recorded.
#pragma once

#include "files/fileoperations.h"

#include <QByteArrayList>
#include <QList>
#include <QStringList>

#include <functional>

namespace morvane::test {

class FakePrompter : public files::Prompter
{
public:
    // Answers, taken in order; when they run out, "いいえ" and no.
    QList<files::ReplaceAnswer> replaceAnswers;
    QList<bool> confirmAnswers;
    // `progressed` returns false (cancel) on its call with this number (from 1); 0: never.
    int cancelAtStep = 0;
    // Called by `progressed` with the call's number first, to change the world while a request
    // runs (a name appearing at the target, a signal).
    std::function<void(int step)> onStep;

    QByteArrayList replaceAsked; // the targets asked about
    QStringList questions;
    QStringList errors;
    int steps = 0;
    int started = 0;
    int finished = 0;

    files::ReplaceAnswer askReplace(const QByteArray &, const QByteArray &target, bool) override
    {
        replaceAsked << target;
        return replaceAnswers.isEmpty() ? files::ReplaceAnswer::No : replaceAnswers.takeFirst();
    }
    bool confirm(const QString &question) override
    {
        questions << question;
        return !confirmAnswers.isEmpty() && confirmAnswers.takeFirst();
    }
    void reportError(const QString &message) override { errors << message; }
    void progressStarted(const QString &, qint64) override { ++started; }
    bool progressed(qint64, const QByteArray &) override
    {
        if (onStep)
            onStep(steps + 1);
        return ++steps != cancelAtStep;
    }
    void progressFinished() override { ++finished; }
};

} // namespace morvane::test
