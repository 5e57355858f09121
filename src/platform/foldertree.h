// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/fileoperations.h"
#include "platform/foldertreemodel.h"

#include <QTreeView>

#include <memory>

namespace morvane::platform {

// The folder tree: folders only, rooted at "デスクトップ" (see FolderTreeModel), no lines at
// the root, indent 19, the selection kept visible when the tree loses focus, no automatic
// refresh. A right click selects the folder under the pointer and offers "名前の変更" (in-place
// editing) and "削除" (to the trash, after asking) for ordinary folders; both go through the
// file operations. The top node is expanded and selected when the tree is made. UI thread only.
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

    // How the tree's folder commands ask and report failures: message boxes (DialogPrompter)
    // unless `prompter` is given; it must outlive the tree or be replaced. Null restores the
    // message boxes.
    void setPrompter(Prompter *prompter);

    // Renames the ordinary folder of `node` to `newName` through the file operations (never onto
    // an existing name; "/" and NUL refused) and updates its node. The same name is success.
    // A failure is reported through the prompter and returns false.
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
    std::unique_ptr<Prompter> m_dialogs;
    Prompter *m_prompter = nullptr;
};

} // namespace morvane::platform
