// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/foldertreemodel.h"

#include <QTreeView>

#include <memory>

namespace morvane::platform {

// What the tree's folder commands do on disk and how they ask: supplied by the tree's owner (the
// file service's journaled operations in the windows, a fake in tests). Paths are native bytes.
class FolderCommands
{
public:
    virtual ~FolderCommands() = default;

    // A yes/no question in Japanese; true for yes.
    [[nodiscard]] virtual bool confirm(const QString &question) = 0;
    // One failure, in Japanese.
    virtual void reportError(const QString &message) = 0;
    // Renames the folder `native` to `newName` within its parent folder, never onto an existing
    // name. False when it was not done; the failure has then been reported.
    [[nodiscard]] virtual bool renameFolder(
        const QByteArray &native, const QByteArray &newName) = 0;
    // Sends the folder `native` to the trash. False when it was not done (reported).
    [[nodiscard]] virtual bool trashFolder(const QByteArray &native) = 0;
};

// The folder tree: folders only, rooted at "デスクトップ" (see FolderTreeModel), no lines at
// the root, indent 19, the selection kept visible when the tree loses focus, no automatic
// refresh. A right click selects the folder under the pointer and offers "名前の変更" (in-place
// editing) and "削除" (to the trash, after asking) for ordinary folders; both go through the
// folder commands the owner gives (none given: both refuse). The top node is expanded and selected
// when the tree is made. UI thread only.
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    // `desktopPath`, `places`: see FolderTreeModel.
    explicit FolderTree(const QString &desktopPath = {},
        FolderTreeModel::Places places = FolderTreeModel::Places::Shown,
        QWidget *parent = nullptr);
    ~FolderTree() override;

    [[nodiscard]] FolderTreeModel *folderModel() const noexcept { return m_model; }

    // The selected node and its path (native bytes / for display) and display text; invalid or
    // empty when nothing is selected.
    [[nodiscard]] QModelIndex selectedNode() const;
    [[nodiscard]] QByteArray selectedNativePath() const;
    [[nodiscard]] QString selectedPath() const;
    [[nodiscard]] QString selectedText() const;

    // Makes `node` the selected node (its ancestors are expanded); fires folderChanged when the
    // selection changes.
    void selectNode(const QModelIndex &node);
    // Selects the folder `native` if the tree holds it (see FolderTreeModel::indexForPath).
    bool selectPath(const QByteArray &native);

    // Expands `node` (reading its children), reads its children again, or finds a child by
    // display text (invalid when there is none).
    void expandNode(const QModelIndex &node);
    void refreshNode(const QModelIndex &node);
    [[nodiscard]] QModelIndex findChild(const QModelIndex &parent, const QString &text);

    // Re-reads the whole tree from its top node, then expands the folders that were expanded,
    // selects the folder that was selected (or its nearest ancestor still there) and restores
    // the top item of the scroll position. The reselection fires folderChanged.
    void reloadTree();

    // The folder a drag over the tree would be dropped into, drawn as the only highlighted folder
    // (the selection is not drawn meanwhile); an invalid index for none.
    void setDropTarget(const QModelIndex &node);
    [[nodiscard]] QModelIndex dropTarget() const;

    // What the tree's folder commands do and how they ask; it must outlive the tree or be
    // replaced. Null: the commands refuse.
    void setCommands(FolderCommands *commands) { m_commands = commands; }

    // Renames the ordinary folder of `node` to `newName` through the folder commands (never onto
    // an existing name; "/" and NUL refused) and updates its node. The same name is success.
    // A failure is reported through the commands and returns false.
    bool renameFolder(const QModelIndex &node, const QString &newName);

signals:
    // The selected folder changed, or its path did (the folder or one above it was renamed).
    void folderChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // A node as reload finds it again: display text and native path from the top node down.
    struct Step
    {
        QString text;
        QByteArray native;
    };
    using NodePath = QList<Step>;

    [[nodiscard]] NodePath pathOf(const QModelIndex &node) const;
    [[nodiscard]] QModelIndex resolve(const NodePath &path, bool nearest);
    void collectExpanded(const QModelIndex &parent, QList<NodePath> &out) const;
    void renameSelected();
    void deleteSelected();
    void onRenamed(const QModelIndex &node);

    FolderTreeModel *m_model = nullptr;
    QPersistentModelIndex m_dropTarget;
    std::unique_ptr<QStyle> m_style;
    FolderCommands *m_commands = nullptr;
};

} // namespace morvane::platform
