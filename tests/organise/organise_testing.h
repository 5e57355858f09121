// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the organising dialogs' tests: a main window on a folder of small files (each
// holding its own name, so a replaced file would show), reached through fMain as the dialogs
// reach it, and the selection of files by name.
#pragma once

#include "browser/tfmain_testing.h"
#include "frame/windowrefs.h"
#include "organise/tfrene.h"
#include "support/fakeprompter.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>

#include <map>

namespace morvane::test {

// The next widget that Tab reaches from `w`; a combo box stands for its line edit.
inline QWidget *nextTabStop(QWidget *w)
{
    for (QWidget *next = w->nextInFocusChain(); next != w; next = next->nextInFocusChain()) {
        if (w->isAncestorOf(next) || (next->focusPolicy() & Qt::TabFocus) == 0 || !next->isEnabled()
            || !next->isVisibleTo(w->window()))
            continue;
        auto *combo = qobject_cast<QComboBox *>(next->parentWidget());
        return combo != nullptr ? combo : next;
    }
    return nullptr;
}

class OrganiseTest : public DeskTest
{
protected:
    // For init(): the desktop and, in it, the folder "pics" holding nothing yet.
    [[nodiscard]] bool makePics()
    {
        if (!makeDesk())
            return false;
        // The journal and the trash of the test's own, never the user's.
        qputenv("XDG_DATA_HOME", inFolder(nativeOf(*m_dir), "data"));
        qputenv("XDG_STATE_HOME", inFolder(nativeOf(*m_dir), "state"));
        m_pics = inFolder(m_desk, "pics");
        return makeFolder(m_pics);
    }

    // Files in "pics" holding their own names, then the main window on it, set as fMain.
    [[nodiscard]] bool openPics(const QStringList &files)
    {
        for (const QString &f : files) {
            if (!writeFile(inFolder(m_pics, QFile::encodeName(f)), f.toUtf8()))
                return false;
        }
        m_main = openOn(m_pics, false);
        fMain = m_main.get();
        return m_main != nullptr;
    }

    // For cleanup().
    void closeMain()
    {
        fMain = nullptr;
        m_main.reset();
    }

    // Selects exactly the listed files named in `names`, in one change as a Ctrl-click series.
    void selectNames(const QStringList &names)
    {
        QItemSelectionModel *s = m_main->ListView1->selectionModel();
        s->clearSelection();
        const FileListModel &list = *m_main->listModel();
        for (int row = 0; row < list.count(); ++row) {
            if (names.contains(list.entry(row).caption))
                s->select(list.index(row), QItemSelectionModel::Select);
        }
    }

    // The files of "pics" (name -> contents).
    [[nodiscard]] std::map<QString, QString> picsOnDisk() const
    {
        std::map<QString, QString> out;
        const QDir dir(QFile::decodeName(m_pics));
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                out[name] = QString::fromUtf8(f.readAll());
        }
        return out;
    }

    [[nodiscard]] QStringList selectedCaptions() const
    {
        QStringList out;
        for (const QByteArray &n : m_main->SelectedNames)
            out << QFile::decodeName(n);
        return out;
    }

    QByteArray m_pics;
    std::unique_ptr<TfMain> m_main;
    std::unique_ptr<FakePrompter> m_prompter = std::make_unique<FakePrompter>();
    QStringList m_messages; // what the dialog showed, in order
};

} // namespace morvane::test
