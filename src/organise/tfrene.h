// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "organise/messageshower.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace morvane {

namespace files {
    class Prompter;
} // namespace files

// The batch rename dialog `fRene`, shown by the rename command (non-modal). A run gives every
// file of the main window's `SelectedNames` the name the rename pattern makes of it, one rename
// request per file through the file operations (never onto an existing name), and moves each
// renamed file's list item to its new name. Created hidden at start-up; closing it only hides
// it. The pattern history lasts as long as the dialog. UI thread only.
class TfRene : public QWidget
{
    Q_OBJECT

public:
    explicit TfRene(QWidget *parent = nullptr);
    ~TfRene() override;

    // Where the file operations ask and report (message boxes unless set; null restores them);
    // `prompter` must outlive its use. Where the dialog's own messages go (boxes unless set).
    void setPrompter(files::Prompter *prompter);
    void setMessageShower(MessageShower shower);

    // The 24 lines of the help text shown in Memo1.
    [[nodiscard]] static QStringList helpLines();

    // Controls.
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLabel *Label5 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

    // The preview beside the controls: each selected file's old and new name as the pattern and
    // start number stand, with a mark where the new name will not come out as shown. The button
    // ("プレビュー(&P)", Alt+P) widens the dialog by the preview's room and narrows it again; at
    // the design size and whenever the preview is off, the controls stand and stretch as
    // designed.
    [[nodiscard]] QPushButton *previewButton() const { return m_previewButton; }
    [[nodiscard]] QTreeWidget *previewList() const { return m_preview; }
    [[nodiscard]] bool isPreviewShown() const { return m_previewShown; }
    void setPreviewShown(bool shown);

    // Handlers.
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
    void message(const QString &text);
    // Appends `pattern` to the history unless it holds it already, letter case aside.
    void addHistory(const QString &pattern);
    // The preview for the pattern and start number as they stand (nothing while it is hidden);
    // rereadPreview() reads the folder's names first.
    void updatePreview();
    void rereadPreview();
    // Gives the list items of the renames done their new names.
    void moveListItems(const std::vector<std::pair<QByteArray, QByteArray>> &renames,
        const std::vector<bool> &done);

    std::unique_ptr<files::Prompter> m_dialogs;
    files::Prompter *m_prompter = nullptr;
    MessageShower m_shower;
    QPushButton *m_previewButton = nullptr;
    QTreeWidget *m_preview = nullptr;
    bool m_previewShown = false;
    std::vector<std::string> m_folderNames; // every name of the folder, read on show
};

} // namespace morvane
