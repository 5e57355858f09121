// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/windowrefs.h"

#include <QString>

class QCheckBox;
class QCloseEvent;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morvane {

// The options dialog `fOp`: title and command of the three registered tools, and below them
// whether pictures are turned upright by their Exif Orientation (key "AutoRotate"). Created hidden
// at start-up, when its creation handler reads section "Option" of the settings file; shown
// non-modally by the options command; closing it only hides it, and every close writes section
// "Option". "閉じる" first sets the captions of the main window's tool items from the titles.
// Its command edits are what a launch runs, whether or not the dialog has been shown. UI thread
// only.
class TfOp : public OptionsBase
{
    Q_OBJECT

public:
    // `settingsPath`: the settings file the dialog reads at creation and writes on every close.
    explicit TfOp(QString settingsPath, QWidget *parent = nullptr);

    // Starts tool `tool` (1 to 3) on `nativePath` with the text its command edit holds now.
    // Why nothing started (another tool number, an empty command, a program not found or not
    // startable); empty when the tool started.
    [[nodiscard]] QString launchTool(int tool, const QByteArray &nativePath) override;
    [[nodiscard]] bool autoRotate() const override;
    [[nodiscard]] bool startsInLastFolder() const;

    // Controls. Tool 1: Label1, Edit1 (title), Edit2 (command), Button1; tool 2: Label2, Edit4,
    // Edit5, Button3; tool 3: Label3, Edit7, Edit8, Button2. The current-directory rows (Label10
    // to Label12, Edit3, Edit6, Edit9) stay hidden and unused.
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLabel *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr;
    QLabel *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr;
    QLabel *Label10 = nullptr, *Label11 = nullptr, *Label12 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr;
    QLineEdit *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;
    QCheckBox *AutoRotateBox = nullptr; // "Exif の向きに合わせて回転する", below the tools
    // Below the tool blocks: whether the program starts in the folder it showed when it last
    // closed (key "StartInLastFolder", default on).
    QCheckBox *StartInLastFolder = nullptr;
    // The file dialog the three "..." buttons share, made when one is first pressed; it lists
    // folders and the files that have the executable bit.
    QFileDialog *OpenDialog1 = nullptr;

    // Handlers.
    void Button1Click();
    void Button3Click();
    void Button2Click();
    void Button4Click();

signals:
    // The check box was switched by the user (or by a test): the list is to be rebuilt.
    void autoRotateChanged(bool on);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void FormCreate();
    void FormClose();
    // Shows OpenDialog1 and, when the user confirms a file, writes its path into `command`,
    // quoted when it holds blanks, quotes or backslashes.
    void pickProgram(QLineEdit *command);

    QString m_settingsPath;
};

} // namespace morvane
