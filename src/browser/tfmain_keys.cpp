// SPDX-License-Identifier: GPL-3.0-or-later
// Keys of the file list and the path field: Enter opens, Delete deletes, Backspace and Alt+Up go
// to the parent folder, Ctrl+L lets the path field take a typed folder.
#include "browser/tfmain.h"
#include "frame/errorreport.h"
#include "frame/usererror.h"
#include "platform/foldertree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>

#include <cstdlib>
#include <sys/stat.h>

namespace morvane {

namespace {

    // Hands the key presses of the list and of the path field to the window. A filter of its own
    // keeps them apart from the window's mouse and drop handling.
    class KeyFilter : public QObject
    {
    public:
        KeyFilter(TfMain *window, std::function<bool(QObject *, QKeyEvent *)> handle)
            : QObject(window)
            , m_handle(std::move(handle))
        {}

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() != QEvent::KeyPress)
                return false;
            bool taken = false;
            reportErrors([&] {
                taken = m_handle(watched, static_cast<QKeyEvent *>(event));
            });
            return taken;
        }

    private:
        std::function<bool(QObject *, QKeyEvent *)> m_handle;
    };

    // The folder `text` names: "~" and "~/..." from the home folder, relative paths from the
    // current folder, without a trailing "/".
    QByteArray typedFolder(const QString &text, const QString &current)
    {
        QString path = text.trimmed();
        if (path == u"~" || path.startsWith(QStringLiteral("~/")))
            path = QDir::homePath() + path.mid(1);
        if (QDir::isRelativePath(path))
            path = current + u'/' + path;
        path = QDir::cleanPath(path);
        return QFile::encodeName(path);
    }

} // namespace

void TfMain::connectKeys()
{
    auto *filter = new KeyFilter(this, [this](QObject *watched, QKeyEvent *key) {
        if (watched == ListView1)
            return ListView1KeyDown(key);
        if (watched == Edit2)
            return Edit2KeyDown(key);
        return false;
    });
    ListView1->installEventFilter(filter);
    Edit2->installEventFilter(filter);
    auto *editPath = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(editPath, &QShortcut::activated, this, &TfMain::editPath);
    // A path left half typed goes back to the folder shown when the field loses the focus.
    connect(Edit2, &QLineEdit::editingFinished, this, [this] {
        if (!Edit2->isReadOnly() && !Edit2->hasFocus())
            endPathEdit();
    });
}

bool TfMain::ListView1KeyDown(QKeyEvent *key)
{
    // A key the caption editor left unused comes up to the list: Enter there ends the edit, it
    // opens nothing.
    const QWidget *focus = QApplication::focusWidget();
    if (focus != nullptr && focus != ListView1 && ListView1->isAncestorOf(focus))
        return false;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        actOpenExecute();
        return true;
    }
    if (key->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        actDel->trigger();
        return true;
    }
    if ((key->key() == Qt::Key_Backspace && mods == Qt::NoModifier)
        || (key->key() == Qt::Key_Up && mods == Qt::AltModifier)) {
        goToParentFolder();
        return true;
    }
    return false;
}

bool TfMain::Edit2KeyDown(QKeyEvent *key)
{
    if (Edit2->isReadOnly())
        return false;
    if (key->key() == Qt::Key_Escape) {
        endPathEdit();
        ListView1->setFocus();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        const QByteArray folder = typedFolder(Edit2->text(), FolderPath);
        endPathEdit();
        ListView1->setFocus();
        if (!goToFolder(folder))
            throw UserError(
                QStringLiteral("フォルダー「%1」を開けません").arg(QFile::decodeName(folder)));
        return true;
    }
    return false;
}

void TfMain::editPath()
{
    Edit2->setReadOnly(false);
    Edit2->setFocus(Qt::ShortcutFocusReason);
    Edit2->selectAll();
}

void TfMain::endPathEdit()
{
    Edit2->setReadOnly(true);
    Edit2->setText(FolderPath);
    Edit2->deselect();
}

bool TfMain::goToFolder(const QByteArray &folder)
{
    struct stat st = {};
    if (folder.isEmpty() || ::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (ShellTreeView1->selectPath(folder))
        return true;
    // The tree reaches folders through the places it shows; one reached through a link is
    // tried with its links followed.
    char *resolved = ::realpath(folder.constData(), nullptr);
    if (resolved == nullptr)
        return false;
    const QByteArray physical(resolved);
    std::free(resolved); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
    return ShellTreeView1->selectPath(physical);
}

void TfMain::goToParentFolder()
{
    if (FolderNative.isEmpty() || FolderNative == "/") {
        QApplication::beep();
        return;
    }
    const qsizetype cut = FolderNative.lastIndexOf('/');
    const QByteArray parent = cut <= 0 ? QByteArray("/") : FolderNative.left(cut);
    if (!goToFolder(parent))
        QApplication::beep();
}

} // namespace morvane
