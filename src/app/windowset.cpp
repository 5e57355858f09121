// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowset.h"

#include "app/aboutbox.h"
#include "browser/filelistmodel.h"
#include "browser/quarterturn.h"
#include "browser/tfmain.h"
#include "frame/errorreport.h"
#include "frame/usererror.h"
#include "frame/windowrefs.h"
#include "organise/tfmoco.h"
#include "organise/tfrene.h"
#include "platform/foldertree.h"
#include "tools/tfop.h"
#include "viewer/pictureloader.h"
#include "viewer/tfview.h"

#include <QFile>
#include <QListView>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace morvane {

WindowSet::WindowSet(const QString &settingsPath, const QString &treeRoot)
{
    Q_ASSERT(fMain == nullptr);
    // Each reference is set as soon as its window exists: later windows' creation handlers may
    // reach the earlier ones.
    m_main = std::make_unique<TfMain>(settingsPath, treeRoot);
    m_main->setEndHandler([this] {
        emit ended();
    });
    fMain = m_main.get();
    m_view = std::make_unique<TfView>(settingsPath);
    fView = m_view.get();
    // The viewer's rotate items turn the shown file through the main window's command, which
    // journals it and rebuilds the list.
    m_view->setRotator(
        [](const QByteArray &path) {
            return browser::quarterTurn(path, true).has_value();
        },
        [main = m_main.get()](const QByteArray &path, bool clockwise) {
            (void)main->rotatePictures({path}, clockwise);
        });
    m_moco = std::make_unique<TfMoco>(treeRoot);
    fMoco = m_moco.get();
    // A folder that files were dragged onto joins the copy/move dialog's destination history.
    connect(m_main.get(),
        &TfMain::filesMovedByDrop,
        m_moco.get(),
        [moco = m_moco.get()](const QByteArray &folder) {
            moco->addHistory(QFile::decodeName(folder));
        });
    m_rene = std::make_unique<TfRene>();
    fRene = m_rene.get();
    m_op = std::make_unique<TfOp>(settingsPath);
    fOp = m_op.get();
    // The viewer asks the option at each load; switching it rebuilds the list, whose boxes and
    // sizes are turned alike.
    connect(m_op.get(), &TfOp::autoRotateChanged, m_main.get(), [main = m_main.get()](bool) {
        if (!main->FolderNative.isEmpty()) {
            reportErrors([main] {
                main->ThumbnailList();
            });
        }
    });
    m_about = std::make_unique<TAboutBox>();
    AboutBox = m_about.get();
}

WindowSet::~WindowSet()
{
    AboutBox = nullptr;
    m_about.reset();
    fOp = nullptr;
    m_op.reset();
    fRene = nullptr;
    m_rene.reset();
    fMoco = nullptr;
    m_moco.reset();
    fView = nullptr;
    m_view.reset();
    fMain = nullptr;
    m_main.reset();
}

void WindowSet::show()
{
    m_main->show();
}

namespace {

    // `native` with its "." and ".." parts worked out as the shell does (without looking at
    // links), relative to the working folder, without a trailing "/".
    QByteArray absoluteLexical(const QByteArray &native)
    {
        namespace fs = std::filesystem;
        fs::path p(native.toStdString());
        if (p.is_relative()) {
            std::error_code ec;
            p = fs::current_path(ec) / p;
        }
        QByteArray out = QByteArray::fromStdString(p.lexically_normal().native());
        while (out.size() > 1 && out.endsWith('/'))
            out.chop(1);
        return out;
    }

    // The folder with every link followed, or empty.
    QByteArray physical(const QByteArray &folder)
    {
        char *resolved = ::realpath(folder.constData(), nullptr);
        if (resolved == nullptr)
            return {};
        QByteArray out(resolved);
        std::free(resolved); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
        return out;
    }

} // namespace

QString WindowSet::openStartPath(const QByteArray &path)
{
    if (path.isEmpty())
        return {};
    const QByteArray native = absoluteLexical(path);
    const QString shown = QFile::decodeName(native);
    struct stat st = {};
    // The path as given, so the system follows its links and ".." the way it opens files.
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("「%1」が見つかりません").arg(shown);
        return QStringLiteral("「%1」を開けません（%2）")
            .arg(shown, QString::fromLocal8Bit(std::strerror(errno)));
    }
    const bool isFolder = S_ISDIR(st.st_mode);
    const qsizetype cut = native.lastIndexOf('/');
    const QByteArray folder = isFolder ? native : (cut == 0 ? QByteArray("/") : native.left(cut));
    // The tree holds folders by the paths its places lead to (home, the desktop); a path that
    // reaches the folder through a link is tried with its links followed as well.
    platform::FolderTree *tree = m_main->ShellTreeView1;
    if (!tree->selectPath(folder) && !tree->selectPath(physical(folder)))
        return QStringLiteral("フォルダー「%1」はフォルダーツリーに表示されないため開けません")
            .arg(QFile::decodeName(folder));
    // The file is left selected alone; a picture then opens in the viewer as the open command
    // shows it.
    if (isFolder || !m_main->selectFile(native.mid(cut + 1)))
        return {};
    const int row = m_main->ListView1->currentIndex().row();
    if (!m_main->listModel()->entry(row).isPicture())
        return {};
    try {
        m_main->actOpenExecute();
    } catch (const UserError &e) {
        return e.text();
    }
    return {};
}

QString WindowSet::openStart(const QByteArray &path)
{
    if (!path.isEmpty())
        return openStartPath(path);
    const QByteArray folder = m_main->lastFolder();
    struct stat st = {};
    if (!m_op->startsInLastFolder() || !folder.startsWith('/')
        || ::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    (void)openStartPath(folder);
    return {};
}

} // namespace morvane
