// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/foldertree.h"

#include "platform/folderscan.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyledItemDelegate>

namespace morvane::platform {
namespace {

    // Draws the folders, the drop target of a drag as the one highlighted folder, and edits a
    // folder's name in place: the confirmed text goes to the tree's rename, after the editor has
    // closed, so that a failure's message box does not open inside the commit.
    class FolderDelegate : public QStyledItemDelegate
    {
    public:
        explicit FolderDelegate(FolderTree *tree)
            : QStyledItemDelegate(tree)
            , m_tree(tree)
        {}

        void paint(QPainter *painter,
            const QStyleOptionViewItem &option,
            const QModelIndex &index) const override
        {
            // While a drag is over the tree only the folder that would receive it is highlighted,
            // so the selected folder is not taken for the drop target.
            QStyleOptionViewItem opt(option);
            const QModelIndex target = m_tree->dropTarget();
            if (target.isValid()) {
                if (index == target)
                    opt.state |= QStyle::State_Selected | QStyle::State_Active;
                else
                    opt.state &= ~QStyle::State_Selected;
            }
            QStyledItemDelegate::paint(painter, opt, index);
        }

        void setModelData(
            QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
        {
            const auto *line = qobject_cast<QLineEdit *>(editor);
            if (line == nullptr)
                return;
            const QPersistentModelIndex node(index);
            const QString text = line->text();
            FolderTree *tree = m_tree;
            QMetaObject::invokeMethod(
                tree,
                [tree, node, text] {
                    if (node.isValid())
                        tree->renameFolder(node, text);
                },
                Qt::QueuedConnection);
        }

    private:
        FolderTree *m_tree;
    };

    // The tree's style: the application's, except that while a drag is over the tree the
    // selected folder's indentation is not drawn highlighted either, so the drop target is the
    // only highlighted folder.
    class FolderStyle : public QProxyStyle
    {
    public:
        explicit FolderStyle(FolderTree *tree)
            : m_tree(tree)
        {}

        int styleHint(StyleHint hint,
            const QStyleOption *option,
            const QWidget *widget,
            QStyleHintReturn *returnData) const override
        {
            if (hint == SH_ItemView_ShowDecorationSelected && m_tree->dropTarget().isValid())
                return 0;
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }

    private:
        FolderTree *m_tree;
    };

} // namespace

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

    setItemDelegate(new FolderDelegate(this));
    m_style = std::make_unique<FolderStyle>(this);
    setStyle(m_style.get());

    connect(selectionModel(),
        &QItemSelectionModel::currentChanged,
        this,
        [this](const QModelIndex &current, const QModelIndex &previous) {
            if (current != previous)
                emit folderChanged();
        });
    connect(m_model, &FolderTreeModel::folderRenamed, this, &FolderTree::onRenamed);

    const QModelIndex top = m_model->desktopIndex();
    expandNode(top);
    selectNode(top);
}

FolderTree::~FolderTree() = default;

bool FolderTree::renameFolder(const QModelIndex &node, const QString &newName)
{
    if (m_commands == nullptr)
        return false;
    if (!m_model->isOrdinaryFolder(node)) {
        m_commands->reportError(QStringLiteral("このフォルダーの名前は変更できません。"));
        return false;
    }
    if (newName == m_model->displayText(node))
        return true;
    const QByteArray native = m_model->nativePath(node);
    const QByteArray newNative = QFile::encodeName(newName);
    if (!m_commands->renameFolder(native, newNative))
        return false;
    m_model->applyRename(node, joinNative(m_model->nativePath(node.parent()), newNative));
    return true;
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

void FolderTree::setDropTarget(const QModelIndex &node)
{
    if (node == m_dropTarget)
        return;
    m_dropTarget = node;
    viewport()->update();
}

QModelIndex FolderTree::dropTarget() const
{
    return m_dropTarget;
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
    const bool ordinary = m_commands != nullptr && m_model->isOrdinaryFolder(node);
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
    if (m_commands == nullptr || !m_model->isOrdinaryFolder(node))
        return;
    const QString text = m_model->displayText(node);
    if (!m_commands->confirm(QStringLiteral("フォルダー「%1」をごみ箱に移動しますか？").arg(text)))
        return;
    // The selected folder is the one going away: select its parent first, so the file list shows
    // a folder that still exists (the parent's files do not change when a subfolder goes).
    const QPersistentModelIndex target(node);
    const QModelIndex parentNode = node.parent();
    selectNode(parentNode);
    if (m_commands->trashFolder(m_model->nativePath(target)))
        m_model->removeNode(target);
    else
        selectNode(target); // the failure has been reported; the folder is still there
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
