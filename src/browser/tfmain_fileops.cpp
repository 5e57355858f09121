// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's file operations without a dialog: delete, in-place rename, the drag of the
// selected files out of the list (onto the folder tree, which moves them, or to a file manager,
// which copies them), files dropped from a file manager, the shift-click range and the drag
// cursors. Every change to a file goes through files::FileOperations.
#include "browser/filelistmodel.h"
#include "browser/filelistview.h"
#include "browser/nameedit.h"
#include "browser/tfmain.h"
#include "browser/tfmain_delegate.h"
#include "files/dialogprompter.h"
#include "files/fileoperations.h"
#include "files/fileoprules.h"
#include "files/journaledops.h"
#include "files/undo.h"
#include "files/undojournal.h"
#include "frame/errorreport.h"
#include "platform/desktop.h"
#include "platform/folderscan.h"
#include "platform/foldertree.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace morvane {

namespace {

    // The format that marks a drag as one of this window's list; its data names the window, so a
    // drag from another main window (in a test, say) is not taken for this one's.
    const QString kListDragFormat = QStringLiteral("application/x-morvane-list-drag");

    // The native path of a local file URL, byte for byte: the percent-encoded path decoded to
    // bytes, so a name that is not UTF-8 is not turned into other bytes on the way. Empty for a
    // URL that is not a local file.
    QByteArray nativePathOf(const QUrl &url)
    {
        if (!url.isLocalFile())
            return {};
        const QString host = url.host();
        if (!host.isEmpty() && host != u"localhost")
            return {};
        return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    }

    // Accepts a drop from another program as a copy, which it can offer or not: the files are
    // moved here, by the file operations, and a source told "moved" might remove its originals
    // itself, also those that the move here skipped or failed to move.
    void acceptAsCopy(QDropEvent *event)
    {
        if (event->possibleActions().testFlag(Qt::CopyAction)) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->acceptProposedAction();
        }
    }

    // One page of the drag cursor: white with a black outline and two text lines.
    void drawPage(QPainter &p, int x, int y)
    {
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(x, y, 11, 14);
        p.drawLine(x + 3, y + 4, x + 8, y + 4);
        p.drawLine(x + 3, y + 7, x + 8, y + 7);
    }

    // "3 個のファイルをごみ箱に移動しました" for what a delete did; empty when it did nothing.
    QString deletedText(const files::RequestResult &result)
    {
        int trashed = 0;
        int gone = 0;
        for (std::size_t i = 0; i < result.items.size(); ++i) {
            if (result.items[i] != files::ItemStatus::Done)
                continue;
            const bool inTrash = i < result.trashedAs.size() && !result.trashedAs[i].isEmpty();
            ++(inTrash ? trashed : gone);
        }
        QStringList parts;
        if (trashed > 0)
            parts << QStringLiteral("%1 個のファイルをごみ箱に移動").arg(trashed);
        if (gone > 0)
            parts << QStringLiteral("%1 個のファイルを完全に削除").arg(gone);
        return parts.isEmpty() ? QString()
                               : parts.join(QStringLiteral("し、")) + QStringLiteral("しました");
    }

    int doneCount(const files::RequestResult &result)
    {
        return static_cast<int>(
            std::count(result.items.begin(), result.items.end(), files::ItemStatus::Done));
    }

} // namespace

files::Prompter &TfMain::prompter()
{
    if (!m_prompter)
        m_prompter = std::make_unique<files::DialogPrompter>(this);
    return *m_prompter;
}

void TfMain::removeDoneItems(const QList<QByteArray> &names, const files::RequestResult &result)
{
    // Exactly the files that are gone leave the list, also when the request as a whole failed:
    // an item of a file that was deleted or moved would only mislead.
    const std::size_t n = std::min(static_cast<std::size_t>(names.size()), result.items.size());
    bool removed = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (result.items[i] != files::ItemStatus::Done)
            continue;
        const QByteArray &name = names[static_cast<qsizetype>(i)];
        viewerFollowsRemoval(name);
        const int row = m_list->findNative(name);
        if (row >= 0)
            removed = m_list->removeEntry(row) || removed;
    }
    if (removed)
        ListView1SelectItem();
}

void TfMain::actDelExecute()
{
    if (SelectedNames.isEmpty()) {
        QMessageBox box(QMessageBox::Information,
            QStringLiteral("情報"),
            QStringLiteral("ファイルが選択されていません。"),
            QMessageBox::Ok,
            this);
        box.exec();
        return;
    }
    const QList<QByteArray> names = SelectedNames;
    QList<QByteArray> paths;
    for (const QByteArray &name : names)
        paths << platform::joinNative(FolderNative, name);
    const files::RequestResult result = files::journaledRemove(prompter(), paths);
    removeDoneItems(names, result);
    if (const QString done = deletedText(result); !done.isEmpty())
        showStatus(done);
}

void TfMain::showMoved(const files::RequestResult &result, const QByteArray &folder)
{
    if (const int n = doneCount(result); n > 0) {
        showStatus(QStringLiteral("%1 個のファイルを「%2」に移動しました")
                       .arg(n)
                       .arg(platform::captionOfName(QByteArray::fromStdString(
                           std::string(files::lastComponent(folder.toStdString()))))));
    }
}

void TfMain::updateUndoAction()
{
    const files::UndoJournal journal(files::UndoJournal::defaultFolder());
    const std::vector<files::journal::Entry> entries = journal.entries();
    actUndo->setEnabled(!entries.empty());
    // What blocks the newest entry (an item refused before stays in it), in the status bar as the
    // pointer rests on the item and in its tooltip; the caption keeps its place and form.
    const QStringList blockers =
        entries.empty() ? QStringList() : files::undoBlockers(entries.back());
    const QString tip = blockers.isEmpty()
        ? QString()
        : QStringLiteral("元に戻せない項目があります（%1 個）: ").arg(blockers.size())
            + blockers.join(u' ');
    actUndo->setStatusTip(tip);
    actUndo->setToolTip(tip);
    if (entries.empty()) {
        actUndo->setText(QStringLiteral("元に戻す(&U)"));
        return;
    }
    // The files the user acted on: a file that a move or copy replaced (and sent to the trash)
    // comes back with it but is not counted.
    const std::vector<files::journal::Item> &items = entries.back().items;
    const auto acted = std::count_if(items.begin(), items.end(), [](const auto &item) {
        return item.op != files::journal::Op::Trash;
    });
    actUndo->setText(QStringLiteral("元に戻す: %1 (%2 個)(&U)")
                         .arg(files::actionLabel(entries.back().action))
                         .arg(acted > 0 ? acted : static_cast<qsizetype>(items.size())));
}

void TfMain::actUndoExecute()
{
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    const std::optional<files::journal::Entry> last = journal.last();
    const files::UndoReport report = files::undoLast(prompter(), journal);
    // A turned picture the viewer holds turns back there too.
    if (report.undone > 0 && last && fView != nullptr) {
        for (const files::journal::Item &item : last->items) {
            if (item.op == files::journal::Op::Patch)
                fView->pictureTurned(QByteArray::fromStdString(item.to));
        }
    }
    // Files or folders came back or left: the tree and the list show what is there now. The
    // tree's reload selects the folder again (or its nearest ancestor still there), which
    // lists it.
    if (report.undone > 0) {
        ShellTreeView1->reloadTree();
        showStatus(
            QStringLiteral("元に戻しました: %1 (%2 個)").arg(report.action).arg(report.undone));
    }
    if (!report.found || !report.refused.isEmpty())
        prompter().reportError(report.text());
}

void TfMain::ListView1Edited(int row, const QString &text)
{
    if (row < 0 || row >= m_list->count())
        return;
    const ListEntry &e = m_list->entry(row);
    // An unchanged caption changes nothing: for a name that is not UTF-8 the caption's bytes
    // differ from the file's, and renaming to them would change the name the user did not edit.
    if (text == e.caption)
        return;
    // The bytes the user did not change stay as they are, also in a name that is not UTF-8.
    const QByteArray caption = e.caption.toUtf8();
    const QByteArray typed = text.toUtf8();
    const browser::NameEdit edit = browser::editedName(e.nativeName.toStdString(),
        std::string_view(caption.constData(), static_cast<std::size_t>(caption.size())),
        std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())));
    if (!edit.exact
        && !prompter().confirm(
            QStringLiteral("「%1」の名前は UTF-8 ではないため、入力した部分だけを変えることが"
                           "できません。\n名前全体を、表示どおりの UTF-8 の「%2」に変更しますか？")
                .arg(e.caption, text)))
        return;
    const QByteArray newName = QByteArray::fromStdString(edit.bytes);
    const files::RequestResult result = files::journaledRename(
        prompter(), platform::joinNative(FolderNative, e.nativeName), newName);
    // A refused rename was reported by the file operations; the item keeps its old caption,
    // which is still the file's name.
    if (!result.ok)
        return;
    const QByteArray oldName = e.nativeName;
    m_list->setCaption(row, platform::captionOfName(newName), newName);
    viewerFollowsRename(oldName, newName);
    // The selected names follow, so commands given next address the file by its new name.
    ListView1SelectItem();
}

QDrag *TfMain::makeListDrag()
{
    if (SelectedNames.isEmpty() || FolderNative.isEmpty())
        return nullptr;
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QByteArray &name : std::as_const(SelectedNames))
        urls << platform::fileUrl(platform::joinNative(FolderNative, name));
    mime->setUrls(urls);
    mime->setData(kListDragFormat, QByteArray::number(reinterpret_cast<quintptr>(this)));
    auto *drag = new QDrag(ListView1);
    drag->setMimeData(mime);
    const QPixmap cursor = dragCursor(SelectedNames.size() >= 2);
    drag->setDragCursor(cursor, Qt::CopyAction);
    drag->setDragCursor(cursor, Qt::MoveAction);
    return drag;
}

QPixmap TfMain::dragCursor(bool several)
{
    // An arrow and, below it to the right, one page for a single file or three stacked pages for
    // several: a 32 x 32 image whose top-left pixel is the arrow's point. Qt puts the hot spot of
    // a drag cursor at the centre of its picture, so the image lies in the lower right quarter of
    // a 64 x 64 picture: the drop lands where the arrow points.
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.translate(32, 32);
    const QPoint arrow[] = {{0, 0}, {0, 13}, {3, 10}, {6, 16}, {8, 15}, {5, 9}, {9, 9}};
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(arrow, static_cast<int>(std::size(arrow)));
    if (several) {
        drawPage(p, 14, 12);
        drawPage(p, 17, 15);
        drawPage(p, 20, 17);
    } else {
        drawPage(p, 17, 15);
    }
    return pixmap;
}

bool TfMain::isListDrag(const QMimeData *mime) const
{
    return mime != nullptr
        && mime->data(kListDragFormat) == QByteArray::number(reinterpret_cast<quintptr>(this));
}

void TfMain::ShellTreeView1DragOver(QDragMoveEvent *event)
{
    if (isListDrag(event->mimeData()) && ShellTreeView1->selectedNode().isValid()) {
        event->acceptProposedAction();
        // The folder that would receive the drop is highlighted, as file managers do.
        ShellTreeView1->setDropTarget(ShellTreeView1->indexAt(event->position().toPoint()));
    } else {
        event->ignore();
        ShellTreeView1->setDropTarget({});
    }
}

void TfMain::ShellTreeView1DragDrop(QDropEvent *event)
{
    if (!isListDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    // Accepted as a copy: the list's view must not take rows out by itself, the list follows
    // what the move did below.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    ShellTreeView1->setDropTarget({});
    const QModelIndex node = ShellTreeView1->indexAt(event->position().toPoint());
    const QByteArray target =
        node.isValid() ? ShellTreeView1->folderModel()->nativePath(node) : QByteArray();
    if (target.isEmpty() || SelectedNames.isEmpty())
        return;
    const QList<QByteArray> names = SelectedNames;
    QList<QByteArray> sources;
    for (const QByteArray &name : names)
        sources << platform::joinNative(FolderNative, name);
    const files::RequestResult result = files::journaledMove(
        prompter(), "move", sources, files::FileOperations::targetsIn(target, sources));
    removeDoneItems(names, result);
    showMoved(result, target);
    // Whatever became of the move, the folder was chosen as a destination.
    emit filesMovedByDrop(target);
}

bool TfMain::ListView1MouseDown(QMouseEvent *event)
{
    if (!event->modifiers().testFlag(Qt::ShiftModifier)
        || !event->buttons().testFlag(Qt::LeftButton))
        return false;
    const QModelIndex clicked = ListView1->indexAt(event->position().toPoint());
    if (!clicked.isValid())
        return false;
    const int c = clicked.row();
    const int a = std::clamp(SelectedIndex, 0, m_list->count() - 1);
    // Exactly the items from the anchor to the clicked one, in list order, whatever the view's
    // own shift-click would take in its icon arrangement; one change of the selection.
    const QItemSelection range(m_list->index(std::min(a, c)), m_list->index(std::max(a, c)));
    ListView1->selectionModel()->select(range, QItemSelectionModel::ClearAndSelect);
    ListView1->selectionModel()->setCurrentIndex(clicked, QItemSelectionModel::NoUpdate);
    return true;
}

void TfMain::ListView1DragOver(QDragMoveEvent *event)
{
    // Accepted only so that the drag cursor shows over the list; a drop there changes nothing.
    if (isListDrag(event->mimeData()) && !SelectedNames.isEmpty())
        event->accept();
    else
        event->ignore();
}

void TfMain::dropFiles(const QList<QUrl> &urls)
{
    // With no folder chosen there is nowhere to move the files to.
    if (FolderNative.isEmpty())
        return;
    QList<QByteArray> sources;
    for (const QUrl &url : urls) {
        const QByteArray path = nativePathOf(url);
        if (!path.isEmpty())
            sources << path;
    }
    if (sources.isEmpty())
        return;
    const files::RequestResult result = files::journaledMove(
        prompter(), "drop", sources, files::FileOperations::targetsIn(FolderNative, sources));
    ThumbnailList();
    showMoved(result, FolderNative);
}

bool TfMain::acceptsShellDrop(const QMimeData *mime) const
{
    if (mime == nullptr || isListDrag(mime) || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) {
        return !nativePathOf(url).isEmpty();
    });
}

void TfMain::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void TfMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsShellDrop(event->mimeData()))
        acceptAsCopy(event);
    else
        event->ignore();
}

void TfMain::dropEvent(QDropEvent *event)
{
    if (!acceptsShellDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    // The drop is finished (the file manager released) before the files are moved.
    acceptAsCopy(event);
    const QList<QUrl> urls = event->mimeData()->urls();
    reportErrors([&] {
        dropFiles(urls);
    });
}

bool TfMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listViewport) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_shiftPressTaken = ListView1MouseDown(static_cast<QMouseEvent *>(event));
            return m_shiftPressTaken;
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            // The view saw no press, so it must not see the rest of that click either.
            if (!m_shiftPressTaken)
                return false;
            if (event->type() == QEvent::MouseButtonRelease)
                m_shiftPressTaken = false;
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (!isListDrag(static_cast<QDropEvent *>(event)->mimeData()))
                return false;
            ListView1DragOver(static_cast<QDragMoveEvent *>(event));
            return true;
        case QEvent::Drop:
            if (!isListDrag(static_cast<QDropEvent *>(event)->mimeData()))
                return false;
            event->ignore();
            return true;
        default:
            return false;
        }
    }
    if (watched == m_treeViewport) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            ShellTreeView1DragOver(static_cast<QDragMoveEvent *>(event));
            return true;
        case QEvent::DragLeave:
            ShellTreeView1->setDropTarget({});
            return true;
        case QEvent::Drop:
            reportErrors([&] {
                ShellTreeView1DragDrop(static_cast<QDropEvent *>(event));
            });
            return true;
        default:
            return false;
        }
    }
    return MainWindowBase::eventFilter(watched, event);
}

void TfMain::connectFileOperations()
{
    auto *view = static_cast<FileListView *>(ListView1);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDragFactory([this] {
        return makeListDrag();
    });
    QWidget *listPort = view->viewport();
    m_listViewport = listPort;
    listPort->setAcceptDrops(true);
    listPort->installEventFilter(this);
    ListView1->setEditTriggers(
        QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_delegate->setCommitHandler([this](const QModelIndex &index, const QString &text) {
        reportErrors([&] {
            ListView1Edited(index.row(), text);
        });
    });
    ShellTreeView1->setAcceptDrops(true);
    QWidget *treePort = ShellTreeView1->viewport();
    m_treeViewport = treePort;
    treePort->setAcceptDrops(true);
    treePort->installEventFilter(this);
    setAcceptDrops(true);
}

} // namespace morvane
