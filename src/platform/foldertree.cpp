// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/foldertree.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>

namespace morvane::platform {

FolderTree::FolderTree(const QString &desktopPath, FolderTreeModel::Places places, QWidget *parent)
    : QTreeView(parent)
    , m_model(new FolderTreeModel(desktopPath, places, this))
{
    setModel(m_model);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    m_confirm = [this](const QString &question) {
        return QMessageBox::question(this, QStringLiteral("確認"), question) == QMessageBox::Yes;
    };
    m_warn = [this](const QString &message) {
        QMessageBox::warning(this, QStringLiteral("警告"), message);
    };

    connect(selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        [this](const QModelIndex &current, const QModelIndex &previous) {
            if (current != previous)
                emit folderChanged();
        });
    // A failed in-place rename is reported after the editor has closed, not from inside the
    // delegate's commit.
    connect(
        m_model,
        &FolderTreeModel::operationFailed,
        this,
        [this](const QString &message) {
            m_warn(message);
        },
        Qt::QueuedConnection);
    connect(m_model, &FolderTreeModel::folderRenamed, this, &FolderTree::onRenamed);

    const QModelIndex top = m_model->desktopIndex();
    expandNode(top);
    selectNode(top);
}

FolderTree::~FolderTree() = default;

void FolderTree::setPrompts(
    std::function<bool(const QString &)> confirm, std::function<void(const QString &)> warn)
{
    m_confirm = std::move(confirm);
    m_warn = std::move(warn);
}

QModelIndex FolderTree::selectedNode() const
{
    return selectionModel()->currentIndex();
}

QByteArray FolderTree::selectedNativePath() const
{
    return m_model->nativePath(selectedNode());
}

QString FolderTree::selectedPath() const
{
    return m_model->path(selectedNode());
}

QString FolderTree::selectedText() const
{
    return m_model->displayText(selectedNode());
}

void FolderTree::selectNode(const QModelIndex &node)
{
    if (!node.isValid())
        return;
    for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
        expand(p);
    selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    scrollTo(node);
}

bool FolderTree::selectPath(const QByteArray &native)
{
    const QModelIndex node = m_model->indexForPath(native);
    if (!node.isValid())
        return false;
    selectNode(node);
    return true;
}

void FolderTree::expandNode(const QModelIndex &node)
{
    if (!node.isValid())
        return;
    m_model->loadChildren(node);
    expand(node);
}

void FolderTree::refreshNode(const QModelIndex &node)
{
    if (node.isValid())
        m_model->refresh(node);
}

QModelIndex FolderTree::findChild(const QModelIndex &parent, const QString &text)
{
    return m_model->findChild(parent, text);
}

FolderTree::NodePath FolderTree::pathOf(const QModelIndex &node) const
{
    NodePath path;
    for (QModelIndex n = node; n.isValid(); n = n.parent())
        path.prepend({m_model->displayText(n), m_model->nativePath(n)});
    return path;
}

QModelIndex FolderTree::resolve(const NodePath &path, bool nearest)
{
    QModelIndex found;
    for (const Step &step : path) {
        QModelIndex next;
        m_model->loadChildren(found);
        const int rows = m_model->rowCount(found);
        for (int r = 0; r < rows && !next.isValid(); ++r) {
            const QModelIndex c = m_model->index(r, 0, found);
            if (m_model->displayText(c) == step.text && m_model->nativePath(c) == step.native)
                next = c;
        }
        if (!next.isValid())
            return nearest ? found : QModelIndex();
        found = next;
    }
    return found;
}

void FolderTree::collectExpanded(const QModelIndex &parent, QList<NodePath> &out) const
{
    const int rows = m_model->rowCount(parent);
    for (int r = 0; r < rows; ++r) {
        const QModelIndex c = m_model->index(r, 0, parent);
        if (isExpanded(c)) {
            out.append(pathOf(c));
            collectExpanded(c, out);
        }
    }
}

void FolderTree::reloadTree()
{
    QList<NodePath> expanded;
    collectExpanded({}, expanded);
    const NodePath selected = pathOf(selectedNode());
    const NodePath top = pathOf(indexAt(QPoint(1, 1)));

    m_model->reload();

    // Parents come before their children in `expanded`, so each expand finds its node open.
    for (const NodePath &path : std::as_const(expanded)) {
        const QModelIndex node = resolve(path, false);
        if (node.isValid())
            expandNode(node);
    }
    QModelIndex again = resolve(selected, true);
    if (!again.isValid())
        again = m_model->desktopIndex();
    selectNode(again);
    const QModelIndex topAgain = resolve(top, true);
    if (topAgain.isValid())
        scrollTo(topAgain, QAbstractItemView::PositionAtTop);
}

void FolderTree::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        const QModelIndex node = indexAt(event->position().toPoint());
        if (node.isValid())
            selectNode(node);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void FolderTree::contextMenuEvent(QContextMenuEvent *event)
{
    QModelIndex node = selectedNode();
    if (event->reason() == QContextMenuEvent::Mouse)
        node = indexAt(event->pos());
    if (!node.isValid())
        return;
    const bool ordinary = m_model->isOrdinaryFolder(node);
    QMenu menu(this);
    QAction *rename = menu.addAction(QStringLiteral("名前の変更"));
    QAction *remove = menu.addAction(QStringLiteral("削除"));
    rename->setEnabled(ordinary);
    remove->setEnabled(ordinary);
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == rename)
        renameSelected();
    else if (chosen == remove)
        deleteSelected();
}

void FolderTree::renameSelected()
{
    const QModelIndex node = selectedNode();
    if (m_model->isOrdinaryFolder(node))
        edit(node);
}

void FolderTree::deleteSelected()
{
    const QModelIndex node = selectedNode();
    if (!m_model->isOrdinaryFolder(node))
        return;
    const QString text = m_model->displayText(node);
    if (!m_confirm(QStringLiteral("フォルダー「%1」をごみ箱に移動しますか？").arg(text)))
        return;
    // The selected folder is the one going away: select its parent first, so the file list shows
    // a folder that still exists (the parent's files do not change when a subfolder goes).
    const QPersistentModelIndex target(node);
    const QModelIndex parentNode = node.parent();
    selectNode(parentNode);
    const FolderTreeModel::Result r = m_model->trashFolder(target);
    if (!r.ok) {
        selectNode(target);
        m_warn(r.message);
    }
}

void FolderTree::onRenamed(const QModelIndex &node)
{
    for (QModelIndex n = selectedNode(); n.isValid(); n = n.parent()) {
        if (n == node) {
            emit folderChanged();
            return;
        }
    }
}

} // namespace morvane::platform
