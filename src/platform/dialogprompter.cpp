// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogprompter.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <sys/stat.h>

namespace morvane::platform {
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
                            "置き換えますか？")
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
    switch (box.exec()) {
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
    return box.exec() == QMessageBox::Yes;
}

void DialogPrompter::reportError(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, caption(), message, QMessageBox::Ok, m_parent);
    box.exec();
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
    m_progress->setMinimumDuration(500);
    m_progress->setValue(0); // starts the clock that decides whether the dialog appears
}

bool DialogPrompter::progressed(qint64 done, const QByteArray &current)
{
    if (!m_progress)
        return true;
    m_progress->setLabelText(m_title + QStringLiteral("…\n") + nameOf(current));
    m_progress->setValue(static_cast<int>(qMin<qint64>(done, m_total) * 1000 / m_total));
    return !m_progress->wasCanceled();
}

void DialogPrompter::progressFinished()
{
    m_progress.reset();
}

} // namespace morvane::platform
