// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "organise/messageshower.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvane {

namespace platform {
    class FolderTree;
} // namespace platform

namespace files {
    class JournaledFolderCommands;
    class Prompter;
} // namespace files

// The copy, move and new-folder dialog `fMoco`, shown by the copy and move command (non-modal).
// It copies or moves the files of the main window's `SelectedNames` into the folder picked in its
// own folder tree or typed as a path, one request through the file operations (never replacing a
// file without consent), and makes new folders there. The box and the tree show one destination:
// a typed path of an existing folder moves the tree to it, a selection in the tree fills the box,
// and a typed path that does not exist is refused. Created hidden
// at start-up; closing it only hides it. The destination history lasts as long as the dialog.
// UI thread only.
class TfMoco : public QWidget
{
    Q_OBJECT

public:
    // `treeRoot`: the folder the tree's top node stands for (empty for the desktop).
    explicit TfMoco(const QString &treeRoot = {}, QWidget *parent = nullptr);
    ~TfMoco() override;

    // Where the file operations and the tree's folder commands ask and report (message boxes
    // unless set; null restores them); `prompter` must outlive its use. Where the dialog's own
    // information and warning boxes go (boxes unless set).
    void setPrompter(files::Prompter *prompter);
    void setMessageShower(MessageShower shower);

    // Appends `folder` (a path as shown) to the destination history unless the history holds it
    // already, letter case aside. An empty path is recorded like any other, as after a new folder
    // without a name before any path was used.
    void addHistory(const QString &folder);

    // The path of the last copy or move destination, or of the last folder the dialog tried to
    // make; empty at first.
    [[nodiscard]] const QString &destinationPath() const noexcept { return DestinationPath; }

    // Controls.
    QLabel *Label1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    platform::FolderTree *ShellTreeView1 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtn4 = nullptr;

    // Handlers.
    void ShellTreeView1Change();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const QString &treeRoot);
    void FormClose();
    void information(const QString &text);
    void warning(const QString &text);
    // Copy (false) or move (true) of the selected files into the combo box's folder.
    void transfer(bool moving);
    // The native bytes of the combo box's path: the tree's own bytes while the text is the one
    // the tree put there (a path that is not UTF-8 survives), otherwise the typed text encoded.
    [[nodiscard]] QByteArray destinationNative() const;
    // Moves the tree to the box's path when that is an existing folder the tree holds.
    void followTypedPath();
    // Why `folder` (the box's path, native) cannot take files or a new folder; empty when it can.
    [[nodiscard]] QString refusalOf(const QByteArray &folder) const;
    // After a new folder `name` was made in `folder`: selects it in the tree when the tree stands
    // on `folder`. False when it could not.
    bool selectMadeFolder(const QByteArray &folder, const QString &name);

    QString DestinationPath;
    QString m_treeText; // the text the tree last put into ComboBox1
    QByteArray m_treeNative; // and its native bytes
    bool m_following = false; // the tree is moving to the typed path
    std::unique_ptr<files::Prompter> m_dialogs;
    std::unique_ptr<files::JournaledFolderCommands> m_treeCommands;
    files::Prompter *m_prompter = nullptr;
    MessageShower m_shower;
};

} // namespace morvane
