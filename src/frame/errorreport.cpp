// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/errorreport.h"

#include "frame/usererror.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace morvane {

QString errorReportText(const QString &text)
{
    if (text.isEmpty() || text.back() <= QChar(u'.'))
        return text;
    return text + u'.';
}

void showErrorReport(const QString &text, QWidget *parent)
{
    QMessageBox box(QMessageBox::Critical,
        QApplication::applicationDisplayName(),
        errorReportText(text),
        QMessageBox::Ok,
        parent);
    box.exec();
}

void reportErrors(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const UserError &e) {
        showErrorReport(e.text());
    } catch (const std::bad_alloc &) {
        showErrorReport(QStringLiteral("メモリが不足しています"));
    } catch (const std::exception &e) {
        showErrorReport(QString::fromUtf8(e.what()));
    } catch (...) {
        showErrorReport(QStringLiteral("予期しないエラーが発生しました"));
    }
}

} // namespace morvane
