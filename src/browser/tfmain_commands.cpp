// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands that hand work to another window or to the desktop: open, the three
// dialogs, Explorer and help.
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "frame/helpmanual.h"
#include "frame/usererror.h"
#include "platform/folderscan.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>

namespace morvane {

namespace {

    // Shows a non-modal window, or brings it forward when it is shown already.
    void showWindow(QWidget *window)
    {
        if (window == nullptr)
            return;
        if (window->isMinimized())
            window->showNormal();
        else
            window->show();
        window->raise();
        window->activateWindow();
    }

} // namespace

platform::Desktop &TfMain::desktop()
{
    if (!m_desktop)
        m_desktop = std::make_unique<platform::SystemDesktop>();
    return *m_desktop;
}

void TfMain::openOnDesktop(const QUrl &url, const QString &shownPath)
{
    // Whether the handler then opens the file is the desktop's business, as it shows its own
    // messages; a desktop that cannot start any handler would leave the user with nothing.
    if (!desktop().openUrl(url))
        throw UserError(QStringLiteral("%1 を開くプログラムを起動できませんでした").arg(shownPath));
}

void TfMain::actOpenExecute()
{
    const int first = firstSelectedRow();
    if (first < 0)
        return;
    const ListEntry &x = m_list->entry(first);
    if (!x.isPicture()) {
        openOnDesktop(platform::fileUrl(platform::joinNative(FolderNative, x.nativeName)),
            filePathOf(x.caption));
        return;
    }

    PictureList.clear();
    for (int row = 0; row < m_list->count(); ++row) {
        const ListEntry &e = m_list->entry(row);
        if (!e.isPicture())
            continue;
        PictureList << platform::joinNative(FolderNative, e.nativeName)
                    << e.record.value(SizeField).toUtf8() << e.record.value(DateTimeField).toUtf8()
                    << e.record.value(WidthField).toUtf8() << e.record.value(HeightField).toUtf8();
    }
    OpenRequested = true;
    if (fView != nullptr) {
        fView->OpenPath = platform::joinNative(FolderNative, x.nativeName);
        showWindow(fView);
    }
}

void TfMain::ListView1DblClick()
{
    actOpenExecute();
}

void TfMain::actHMFExecute()
{
    showWindow(fMoco);
}

void TfMain::actReNameExecute()
{
    if (SelectedNames.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon,
            QApplication::applicationDisplayName(),
            QStringLiteral("ファイルを選択してください。"),
            QMessageBox::Ok,
            this);
        box.exec();
        return;
    }
    showWindow(fRene);
}

void TfMain::actOpExecute()
{
    if (fOp != nullptr && !fOp->isVisible())
        placeDialog(fOp);
    showWindow(fOp);
}

void TfMain::placeDialog(QWidget *dialog) const
{
    // The dialog belongs to this window (the window manager keeps it in front of it), without
    // being its child: the window set owns both.
    dialog->winId();
    if (QWindow *handle = dialog->windowHandle())
        handle->setTransientParent(windowHandle());
    const QRect frame = frameGeometry();
    const QSize margins = dialog->frameGeometry().size() - dialog->size();
    QRect placed(QPoint(), dialog->size() + margins);
    placed.moveCenter(frame.center());
    // On the screen the window is on, wholly when it fits, else its top-left corner.
    const QScreen *onScreen = screen();
    if (onScreen != nullptr) {
        const QRect area = onScreen->availableGeometry();
        placed.moveLeft(
            std::max(area.left(), std::min(placed.left(), area.right() - placed.width() + 1)));
        placed.moveTop(
            std::max(area.top(), std::min(placed.top(), area.bottom() - placed.height() + 1)));
    }
    dialog->move(placed.topLeft());
}

void TfMain::actExpExecute()
{
    // No folder chosen yet: there is nothing to show.
    if (FolderNative.isEmpty())
        return;
    const QByteArray folder = FolderNative.endsWith('/') ? FolderNative : FolderNative + '/';
    openOnDesktop(platform::fileUrl(folder), FolderPath);
}

void TfMain::Help2Click()
{
    const QString manual = helpManualPath(QCoreApplication::applicationDirPath());
    // The desktop would open a missing manual without a word, so the user is told here.
    if (!QFileInfo(manual).isFile())
        throw UserError(QStringLiteral("ヘルプファイル %1 が見つかりません").arg(manual));
    openOnDesktop(QUrl::fromLocalFile(manual), manual);
}

void TfMain::startTool(int tool)
{
    // One tool process for the first selected file, however many are selected. A tool that does
    // not start changes nothing; the user is told why, with the command named.
    if (SelectedNames.isEmpty() || fOp == nullptr)
        return;
    const QString why =
        fOp->launchTool(tool, platform::joinNative(FolderNative, SelectedNames.first()));
    if (!why.isEmpty())
        throw UserError(why);
}

void TfMain::setToolCaption(int tool, const QString &caption)
{
    const std::array<std::array<QAction *, 2>, 3> items {{{N16, N19}, {N17, N20}, {N18, N21}}};
    if (tool < 1 || tool > 3)
        return;
    for (QAction *item : items[static_cast<std::size_t>(tool - 1)])
        item->setText(caption);
}

void TfMain::N16Click()
{
    startTool(1);
}

void TfMain::N17Click()
{
    startTool(2);
}

void TfMain::N18Click()
{
    startTool(3);
}

void TfMain::N19Click()
{
    N16Click();
}

void TfMain::N20Click()
{
    N17Click();
}

void TfMain::N21Click()
{
    N18Click();
}

} // namespace morvane
