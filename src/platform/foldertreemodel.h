// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace morvane::platform {

// The folder tree's nodes: one top node "デスクトップ" (the desktop folder), under it the
// desktop's subfolders, then "ホーム" (home), "コンピューター" ("/") and the mounted volumes;
// under every other node its subfolders. Children are read with readdir when a node is first
// expanded or asked for (lazy and synchronous: no thread, no file-system watching), sorted by
// display text in the file list's order; hidden (dot) folders are left out. Names keep their
// native bytes, so folders whose names are not UTF-8 are reached as well. One column. The model
// changes no folder itself: renames and deletions go through the file operations, and the model
// is told of them. UI thread only.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role {
        NativePathRole =
            Qt::UserRole + 1, // QByteArray: the folder's path as the file system holds it
        PathRole, // QString: the same path for display
    };
    enum class NodeKind { Desktop, Home, Computer, Volume, Folder };

    enum class Places { Shown, Hidden };

    // `desktopPath` is the folder the top node stands for; empty means the XDG desktop folder,
    // or home when that does not exist. `places` Hidden leaves out "ホーム", "コンピューター" and
    // the volumes (for tests that walk the whole tree, which would otherwise read all of "/").
    explicit FolderTreeModel(
        const QString &desktopPath = {}, Places places = Places::Shown, QObject *parent = nullptr);
    ~FolderTreeModel() override;

    [[nodiscard]] QModelIndex index(
        int row, int column, const QModelIndex &parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex &child) const override;
    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;
    [[nodiscard]] bool hasChildren(const QModelIndex &parent = {}) const override;
    [[nodiscard]] bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // The top node "デスクトップ".
    [[nodiscard]] QModelIndex desktopIndex() const;

    // A node's path (native bytes / for display), display text and kind; empty for an invalid
    // index.
    [[nodiscard]] QByteArray nativePath(const QModelIndex &index) const;
    [[nodiscard]] QString path(const QModelIndex &index) const;
    [[nodiscard]] QString displayText(const QModelIndex &index) const;
    [[nodiscard]] NodeKind kind(const QModelIndex &index) const;

    // True for ordinary folders, which may be renamed and deleted; false for the desktop, home,
    // computer and volume nodes.
    [[nodiscard]] bool isOrdinaryFolder(const QModelIndex &index) const;

    // Reads the children of `parent` if they have not been read yet.
    void loadChildren(const QModelIndex &parent);

    // Reads the children of `parent` again (deeper nodes are dropped and read again on demand).
    void refresh(const QModelIndex &parent);

    // The child of `parent` whose display text equals `text` (children are read first when
    // needed); invalid when there is none.
    [[nodiscard]] QModelIndex findChild(const QModelIndex &parent, const QString &text);

    // Rebuilds the whole tree from its top node (a model reset).
    void reload();

    // The node of the folder `native`, found by walking down from the node whose path is its
    // longest leading part and reading children on the way; invalid when the folder is not in
    // the tree.
    [[nodiscard]] QModelIndex indexForPath(const QByteArray &native);

    // Records that the folder of `index` now has the path `newNative` (renamed in its parent
    // by the file operations): its text follows the new name, the paths of its loaded descendants
    // follow, and it moves to its sorted row, keeping its place in the model's indexes.
    void applyRename(const QModelIndex &index, const QByteArray &newNative);

    // Removes the node of `index` (its folder went to the trash).
    void removeNode(const QModelIndex &index);

signals:
    // The folder of `index` was renamed (its path and those of its loaded descendants changed).
    void folderRenamed(const QModelIndex &index);

private:
    struct Node;
    [[nodiscard]] Node *nodeOf(const QModelIndex &index) const;
    [[nodiscard]] QModelIndex indexOf(const Node *node) const;
    void buildTop();
    void readChildren(Node *node, const QModelIndex &index);
    // The children of `node` as read from disk now, sorted; nothing is changed.
    [[nodiscard]] std::vector<std::unique_ptr<Node>> childrenOf(Node *node) const;
    void dropChildren(Node *node, const QModelIndex &index);
    static void renumber(std::vector<std::unique_ptr<Node>> &children);
    // Rewrites the paths of a renamed node's loaded descendants.
    static void rebase(Node *node, const QByteArray &oldPrefix, const QByteArray &newPrefix);

    QString m_desktopPath;
    Places m_places = Places::Shown;
    std::unique_ptr<Node> m_root; // invisible; its one child is the desktop node
};

} // namespace morvane::platform
