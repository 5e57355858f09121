// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/foldertreemodel.h"

#include "platform/captionorder.h"
#include "platform/folderscan.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace morvane::platform {

struct FolderTreeModel::Node
{
    QString text;
    QByteArray native;
    NodeKind kind = NodeKind::Folder;
    Node *parent = nullptr;
    int row = 0; // position among the parent's children, kept up to date on every change
    std::vector<std::unique_ptr<Node>> children;
    bool loaded = false;
    mutable int probe = -1; // unloaded folders: -1 not asked yet, 0 no subfolder, 1 some
};

namespace {

    using Kind = FolderTreeModel::NodeKind;

    bool isHiddenName(const char *name)
    {
        return name[0] == '.';
    }

    // True when the entry `name` of the open folder `dirFd` is a folder (symlinks followed).
    bool isFolderEntry(int dirFd, const dirent *e)
    {
        if (e->d_type == DT_DIR)
            return true;
        if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN)
            return false;
        struct stat st
        {
        };
        return fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }

    // The non-hidden subfolder names of `native`; `firstOnly` stops at the first one found.
    std::vector<QByteArray> subfolderNames(const QByteArray &native, bool firstOnly)
    {
        std::vector<QByteArray> names;
        DIR *dir = opendir(native.isEmpty() ? "/" : native.constData());
        if (dir == nullptr)
            return names;
        const int fd = dirfd(dir);
        while (const dirent *e = readdir(dir)) {
            if (isHiddenName(e->d_name) || !isFolderEntry(fd, e))
                continue;
            names.emplace_back(e->d_name);
            if (firstOnly)
                break;
        }
        closedir(dir);
        return names;
    }

    bool isDirectory(const QByteArray &native)
    {
        struct stat st
        {
        };
        return stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    struct Place
    {
        QString text;
        QByteArray native;
    };

    // Mounted volumes worth offering beside "/": real block devices mounted on folders, leaving out
    // the root itself, boot partitions, snap images and files bind-mounted into containers.
    std::vector<Place> mountedVolumes()
    {
        std::vector<Place> places;
        const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
        for (const QStorageInfo &v : volumes) {
            if (!v.isValid() || !v.isReady() || v.isRoot())
                continue;
            if (!v.device().startsWith("/dev/") || v.fileSystemType() == "squashfs")
                continue;
            const QString root = v.rootPath();
            if (root.startsWith(u"/boot") || root.startsWith(u"/snap"))
                continue;
            const QByteArray native = QFile::encodeName(root);
            if (!isDirectory(native))
                continue;
            QString text = v.displayName();
            if (text.isEmpty())
                text = root;
            places.push_back({text, native});
        }
        return places;
    }

    const QIcon &iconFor(FolderTreeModel::NodeKind kind)
    {
        // Theme icons with the style's folder icon behind them; made once, on the UI thread.
        static const QIcon folder = QIcon::fromTheme(
            QStringLiteral("folder"), qApp->style()->standardIcon(QStyle::SP_DirIcon));
        static const QIcon desktop = QIcon::fromTheme(QStringLiteral("user-desktop"), folder);
        static const QIcon home = QIcon::fromTheme(QStringLiteral("user-home"), folder);
        static const QIcon computer = QIcon::fromTheme(
            QStringLiteral("computer"), qApp->style()->standardIcon(QStyle::SP_ComputerIcon));
        static const QIcon volume = QIcon::fromTheme(
            QStringLiteral("drive-harddisk"), qApp->style()->standardIcon(QStyle::SP_DriveHDIcon));
        switch (kind) {
        case Kind::Desktop:
            return desktop;
        case Kind::Home:
            return home;
        case Kind::Computer:
            return computer;
        case Kind::Volume:
            return volume;
        case Kind::Folder:
            break;
        }
        return folder;
    }

} // namespace

void FolderTreeModel::renumber(std::vector<std::unique_ptr<Node>> &children)
{
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->row = static_cast<int>(i);
}

void FolderTreeModel::rebase(Node *node, const QByteArray &oldPrefix, const QByteArray &newPrefix)
{
    for (const auto &c : node->children) {
        if (c->native.startsWith(oldPrefix))
            c->native = newPrefix + c->native.mid(oldPrefix.size());
        rebase(c.get(), oldPrefix, newPrefix);
    }
}

FolderTreeModel::FolderTreeModel(const QString &desktopPath, Places places, QObject *parent)
    : QAbstractItemModel(parent)
    , m_desktopPath(desktopPath)
    , m_places(places)
{
    buildTop();
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::buildTop()
{
    m_root = std::make_unique<Node>();
    m_root->loaded = true;
    QString desktop = m_desktopPath;
    if (desktop.isEmpty()) {
        desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        if (desktop.isEmpty() || !QFileInfo(desktop).isDir())
            desktop = QDir::homePath();
    }
    auto top = std::make_unique<Node>();
    top->text = QStringLiteral("デスクトップ");
    top->native = QFile::encodeName(QDir::cleanPath(desktop));
    top->kind = NodeKind::Desktop;
    top->parent = m_root.get();
    top->row = 0;
    // The desktop's children are read at once: the tree shows the top node expanded, and
    // reading them here keeps them inside the model reset of a reload instead of a row
    // insertion that a view would start from its own reset handling.
    top->children = childrenOf(top.get());
    top->loaded = true;
    top->probe = top->children.empty() ? 0 : 1;
    m_root->children.push_back(std::move(top));
}

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return m_root.get();
    return static_cast<Node *>(index.internalPointer());
}

QModelIndex FolderTreeModel::indexOf(const Node *node) const
{
    if (node == nullptr || node == m_root.get())
        return {};
    return createIndex(node->row, 0, const_cast<Node *>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Node *p = nodeOf(parent);
    if (row >= static_cast<int>(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexOf(nodeOf(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const Node *n = nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->text;
    case Qt::DecorationRole:
        return iconFor(n->kind);
    case Qt::ToolTipRole:
    case PathRole:
        return QFile::decodeName(n->native);
    case NativePathRole:
        return n->native;
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (nodeOf(index)->kind == NodeKind::Folder)
        f |= Qt::ItemIsEditable;
    return f;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *n = nodeOf(parent);
    if (n->loaded)
        return !n->children.empty();
    if (n->kind == NodeKind::Desktop && m_places == Places::Shown)
        return true; // the places always sit under it
    if (n->probe < 0)
        n->probe = subfolderNames(n->native, true).empty() ? 0 : 1;
    return n->probe == 1;
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    return !nodeOf(parent)->loaded;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    loadChildren(parent);
}

void FolderTreeModel::loadChildren(const QModelIndex &parent)
{
    Node *n = nodeOf(parent);
    if (!n->loaded)
        readChildren(n, parent);
}

void FolderTreeModel::readChildren(Node *node, const QModelIndex &index)
{
    std::vector<std::unique_ptr<Node>> fresh = childrenOf(node);
    node->loaded = true;
    node->probe = fresh.empty() ? 0 : 1;
    if (fresh.empty())
        return;
    beginInsertRows(index, 0, static_cast<int>(fresh.size()) - 1);
    node->children = std::move(fresh);
    endInsertRows();
}

std::vector<std::unique_ptr<FolderTreeModel::Node>> FolderTreeModel::childrenOf(Node *node) const
{
    std::vector<std::unique_ptr<Node>> fresh;
    std::vector<QByteArray> names = subfolderNames(node->native, false);
    std::vector<std::pair<QString, QByteArray>> named;
    named.reserve(names.size());
    for (QByteArray &name : names)
        named.emplace_back(captionOfName(name), std::move(name)); // as the list shows names
    const CaptionOrder order;
    std::sort(named.begin(), named.end(), [&order](const auto &a, const auto &b) {
        return order.compare(a.first, b.first) < 0;
    });
    for (auto &[text, name] : named) {
        auto child = std::make_unique<Node>();
        child->text = text;
        child->native = joinNative(node->native, name);
        child->parent = node;
        fresh.push_back(std::move(child));
    }
    if (node->kind == NodeKind::Desktop && m_places == Places::Shown) {
        auto place = [&](const QString &text, const QByteArray &native, NodeKind kind) {
            auto child = std::make_unique<Node>();
            child->text = text;
            child->native = native;
            child->kind = kind;
            child->parent = node;
            fresh.push_back(std::move(child));
        };
        place(QStringLiteral("ホーム"), QFile::encodeName(QDir::homePath()), NodeKind::Home);
        place(QStringLiteral("コンピューター"), QByteArrayLiteral("/"), NodeKind::Computer);
        for (const Place &v : mountedVolumes())
            place(v.text, v.native, NodeKind::Volume);
    }
    renumber(fresh);
    return fresh;
}

void FolderTreeModel::dropChildren(Node *node, const QModelIndex &index)
{
    if (!node->children.empty()) {
        beginRemoveRows(index, 0, static_cast<int>(node->children.size()) - 1);
        node->children.clear();
        endRemoveRows();
    }
    node->loaded = false;
    node->probe = -1;
}

void FolderTreeModel::refresh(const QModelIndex &parent)
{
    Node *n = nodeOf(parent);
    if (n == m_root.get())
        return reload();
    dropChildren(n, parent);
    readChildren(n, parent);
}

QModelIndex FolderTreeModel::findChild(const QModelIndex &parent, const QString &text)
{
    loadChildren(parent);
    for (const auto &c : nodeOf(parent)->children) {
        if (c->text == text)
            return indexOf(c.get());
    }
    return {};
}

void FolderTreeModel::reload()
{
    beginResetModel();
    buildTop();
    endResetModel();
}

QModelIndex FolderTreeModel::desktopIndex() const
{
    return indexOf(m_root->children.front().get());
}

QByteArray FolderTreeModel::nativePath(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index)->native : QByteArray();
}

QString FolderTreeModel::path(const QModelIndex &index) const
{
    return index.isValid() ? QFile::decodeName(nodeOf(index)->native) : QString();
}

QString FolderTreeModel::displayText(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index)->text : QString();
}

FolderTreeModel::NodeKind FolderTreeModel::kind(const QModelIndex &index) const
{
    return nodeOf(index)->kind;
}

bool FolderTreeModel::isOrdinaryFolder(const QModelIndex &index) const
{
    return index.isValid() && nodeOf(index)->kind == NodeKind::Folder;
}

QModelIndex FolderTreeModel::indexForPath(const QByteArray &nativeIn)
{
    QByteArray native = nativeIn;
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    if (!native.startsWith('/'))
        return {};
    Node *desktop = m_root->children.front().get();
    loadChildren(indexOf(desktop));
    // The starting node: the desktop or a place whose path is the longest leading part.
    Node *start = nullptr;
    qsizetype startLength = -1;
    auto consider = [&](Node *n) {
        const QByteArray &p = n->native;
        const bool leads =
            native == p || p == "/" || (native.startsWith(p) && native.at(p.size()) == '/');
        if (leads && p.size() > startLength) {
            start = n;
            startLength = p.size();
        }
    };
    consider(desktop);
    for (const auto &c : desktop->children) {
        if (c->kind != NodeKind::Folder)
            consider(c.get());
    }
    if (start == nullptr)
        return {};
    Node *n = start;
    const QByteArray rest = native.mid(start->native == "/" ? 1 : start->native.size());
    const QList<QByteArray> parts = rest.split('/');
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        loadChildren(indexOf(n));
        const QByteArray wanted = joinNative(n->native, part);
        Node *next = nullptr;
        for (const auto &c : n->children) {
            if (c->native == wanted) {
                next = c.get();
                break;
            }
        }
        if (next == nullptr)
            return {};
        n = next;
    }
    return indexOf(n);
}

void FolderTreeModel::applyRename(const QModelIndex &index, const QByteArray &newNative)
{
    Node *n = index.isValid() ? nodeOf(index) : nullptr;
    if (n == nullptr || n->kind != NodeKind::Folder)
        return;
    const QByteArray oldNative = n->native;
    n->text = captionOfName(newNative.mid(newNative.lastIndexOf('/') + 1));
    n->native = newNative;
    rebase(n, oldNative, newNative);
    emit dataChanged(index, index);

    // Move the node to the row its new name sorts to among its siblings.
    Node *parentNode = n->parent;
    const QModelIndex parentIndex = indexOf(parentNode);
    auto &siblings = parentNode->children;
    const CaptionOrder order;
    int target = 0;
    for (const auto &s : siblings) {
        if (s.get() != n && s->kind == NodeKind::Folder && order.compare(s->text, n->text) < 0)
            ++target;
    }
    const int row = n->row;
    if (target != row) {
        beginMoveRows(parentIndex, row, row, parentIndex, target > row ? target + 1 : target);
        std::unique_ptr<Node> moving = std::move(siblings[static_cast<std::size_t>(row)]);
        siblings.erase(siblings.begin() + row);
        siblings.insert(siblings.begin() + target, std::move(moving));
        renumber(siblings);
        endMoveRows();
    }
    emit folderRenamed(indexOf(n));
}

void FolderTreeModel::removeNode(const QModelIndex &index)
{
    Node *n = index.isValid() ? nodeOf(index) : nullptr;
    if (n == nullptr || n->parent == nullptr || n->parent == m_root.get())
        return;
    Node *parentNode = n->parent;
    const int row = n->row;
    beginRemoveRows(indexOf(parentNode), row, row);
    parentNode->children.erase(parentNode->children.begin() + row);
    renumber(parentNode->children);
    endRemoveRows();
}

} // namespace morvane::platform
