// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/dialogprompter.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <limits>
#include <sys/stat.h>

namespace morvane::files {
namespace {

    QString caption()
    {
        return QApplication::applicationDisplayName();
    }

    // "1,234,567 バイト, 2004/05/12 9:05:30" for the file `path`; empty when it cannot be read.
    QString facts(const QByteArray &path)
    {
        struct stat st
        {
        };
        if (::stat(path.constData(), &st) != 0)
            return {};
        const QString size = QLocale(QLocale::English, QLocale::UnitedStates)
                                 .toString(static_cast<qlonglong>(st.st_size));
        const QDateTime when = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        return QStringLiteral("%1 バイト, %2")
            .arg(size, when.toString(QStringLiteral("yyyy/MM/dd H:mm:ss")));
    }

    QString nameOf(const QByteArray &path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        return QFile::decodeName(slash < 0 ? path : path.mid(slash + 1));
    }

    // The progress dialog appears after this much work, or sooner when the work done so far
    // says the rest will take at least as long; never before the first few milliseconds.
    constexpr qint64 kShowAfterMs = 500;
    constexpr qint64 kEstimateAfterMs = 50;

    QString folderOf(const QByteArray &path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        return QFile::decodeName(slash <= 0 ? QByteArray("/") : path.left(slash));
    }

} // namespace

ReplaceQuestionText replaceQuestionText(const QByteArray &source, const QByteArray &target)
{
    ReplaceQuestionText q;
    q.text = QStringLiteral("このフォルダーには既に「%1」という名前のファイルがあります。\n"
                            "置き換えますか？（既存のファイルはごみ箱に移動します）")
                 .arg(nameOf(target));
    q.details = QStringLiteral("フォルダー: %1\n既存のファイル: %2\n新しいファイル: %3")
                    .arg(folderOf(target), facts(target), facts(source));
    return q;
}

DialogPrompter::DialogPrompter(QWidget *parent)
    : m_parent(parent)
{}

DialogPrompter::~DialogPrompter() = default;

ReplaceAnswer DialogPrompter::askReplace(
    const QByteArray &source, const QByteArray &target, bool more)
{
    const ReplaceQuestionText q = replaceQuestionText(source, target);
    QMessageBox box(QMessageBox::Question, caption(), q.text, QMessageBox::NoButton, m_parent);
    box.setInformativeText(q.details);
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    if (more)
        buttons |= QMessageBox::YesToAll;
    box.setStandardButtons(buttons);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
    if (more)
        box.button(QMessageBox::YesToAll)->setText(QStringLiteral("すべてはい"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
    // Enter keeps the old file: replacing takes a deliberate choice.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::Cancel);
    pauseProgress();
    const int answer = box.exec();
    resumeProgress();
    switch (answer) {
    case QMessageBox::Yes:
        return ReplaceAnswer::Yes;
    case QMessageBox::YesToAll:
        return ReplaceAnswer::YesToAll;
    case QMessageBox::No:
        return ReplaceAnswer::No;
    default:
        break;
    }
    return ReplaceAnswer::Cancel;
}

bool DialogPrompter::confirm(const QString &question)
{
    QMessageBox box(
        QMessageBox::Question, caption(), question, QMessageBox::Yes | QMessageBox::No, m_parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
    box.setDefaultButton(QMessageBox::No);
    pauseProgress();
    const bool yes = box.exec() == QMessageBox::Yes;
    resumeProgress();
    return yes;
}

void DialogPrompter::reportError(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, caption(), message, QMessageBox::Ok, m_parent);
    pauseProgress();
    box.exec();
    resumeProgress();
}

void DialogPrompter::progressStarted(const QString &title, qint64 total)
{
    m_title = title;
    m_total = qMax<qint64>(total, 1);
    m_progress = std::make_unique<QProgressDialog>(m_parent);
    m_progress->setWindowTitle(caption());
    m_progress->setWindowModality(m_parent ? Qt::WindowModal : Qt::ApplicationModal);
    m_progress->setCancelButtonText(QStringLiteral("キャンセル"));
    m_progress->setLabelText(title);
    m_progress->setMinimumWidth(360);
    m_progress->setRange(0, 1000);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    // The dialog's own timer would show it from inside a question's event loop, over the
    // question: it is shown here, by the clock of the work alone.
    m_progress->setMinimumDuration(std::numeric_limits<int>::max());
    m_progress->setValue(0);
    m_clock.start();
    m_pausedMs = 0;
}

bool DialogPrompter::progressed(qint64 done, const QByteArray &current)
{
    if (!m_progress)
        return true;
    done = qBound<qint64>(0, done, m_total);
    m_progress->setLabelText(m_title + QStringLiteral("…\n") + nameOf(current));
    m_progress->setValue(static_cast<int>(done * 1000 / m_total));
    if (!m_progress->isVisible() && !m_progress->wasCanceled()) {
        const qint64 work = workMs();
        const bool longRest = work > kEstimateAfterMs
            && work * (m_total - done) >= kShowAfterMs * qMax<qint64>(done, 1);
        if (work >= kShowAfterMs || longRest)
            m_progress->show();
    }
    // The work runs on the UI thread: the dialog's painting and its cancel button need events.
    if (m_progress->isVisible())
        QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

void DialogPrompter::progressFinished()
{
    m_progress.reset();
}

void DialogPrompter::pauseProgress()
{
    if (!m_progress)
        return;
    m_pauseStart = m_clock.elapsed();
    m_progress->hide();
}

void DialogPrompter::resumeProgress()
{
    // The dialog shows again with the next progress, once work goes on.
    if (m_progress)
        m_pausedMs += m_clock.elapsed() - m_pauseStart;
}

qint64 DialogPrompter::workMs() const
{
    return m_clock.elapsed() - m_pausedMs;
}

} // namespace morvane::files
