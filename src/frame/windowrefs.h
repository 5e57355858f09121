// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QStringList>
#include <QWidget>

namespace morvane {

// What every window may read and ask of the main window. `TfMain` implements it; the dialogs
// and the viewer reach it through `fMain` at the moment a command runs and keep nothing of it.
// UI thread only.
class MainWindowBase : public QMainWindow
{
public:
    using QMainWindow::QMainWindow;

    // Shared state owned by the main window.
    QString FolderPath; // current folder, no trailing "/" except the root "/"
    QStringList SelectedNames; // captions of the selected items, in list order
    int SelectedIndex = 0; // list index of the last item selected alone
    QStringList PictureList; // five strings per picture: path, size, date-time, width, height
    bool OpenRequested = false;

    // Rebuilds the file list for `FolderPath`.
    virtual void ThumbnailList() = 0;
};

// What the main window needs of the viewer.
class ViewerBase : public QMainWindow
{
public:
    using QMainWindow::QMainWindow;

    QString OpenPath; // the picture an open request asks for
};

// The six process-wide window references, valid from the creation of their window to the end
// of the program; null before the window set has built them.
extern MainWindowBase *fMain;
extern ViewerBase *fView;
extern QWidget *fMoco;
extern QWidget *fRene;
extern QWidget *fOp;
extern QDialog *AboutBox;

} // namespace morvane
