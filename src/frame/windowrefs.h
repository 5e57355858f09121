// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QWidget>

namespace morvane {

// What every window may read and ask of the main window. `TfMain` implements it; the dialogs
// and the viewer reach it through `fMain` at the moment a command runs and keep nothing of it.
// UI thread only.
class MainWindowBase : public QMainWindow
{
public:
    using QMainWindow::QMainWindow;

    // Shared state owned by the main window. A file is identified by the bytes of its name as the
    // file system holds them: two names that are not UTF-8 may show the same caption, so every
    // name or path that leaves the file list is native bytes. Captions are for display only.
    QString FolderPath; // current folder as shown, no trailing "/" except the root "/"
    QByteArray FolderNative; // the native bytes of FolderPath (empty before a folder is chosen)
    QList<QByteArray> SelectedNames; // native names (no folder) of the selected items, list order
    int SelectedIndex = 0; // list index of the last item selected alone
    // Five byte strings per picture, in list order: the native full path, then size (bytes),
    // date-time text, width and height as UTF-8 text. A picture is addressed by the index of its
    // first string, a multiple of 5.
    QList<QByteArray> PictureList;
    bool OpenRequested = false;

    // Rebuilds the file list for `FolderPath`.
    virtual void ThumbnailList() = 0;

    // Gives the list item of the file named `oldName` (native bytes, matched exactly) the name
    // `newName` and moves it to the place its caption sorts to. The file itself is not touched.
    // False, and the list unchanged, when no item bears `oldName`.
    virtual bool RenameListItem(const QByteArray &oldName, const QByteArray &newName) = 0;

    // Rebuilds `SelectedNames` from the selected items in list order, and nothing else.
    virtual void RebuildSelectedNames() = 0;

    // Takes the items named by `SelectedNames` out of the list, after a move or delete of those
    // files succeeded; `SelectedNames` then names what is still selected. Names are matched
    // exactly (native bytes): "A.jpg" and "a.jpg" are two files here. A name no item has ends the
    // removal, since the list no longer shows what the names describe.
    virtual void RemoveSelectedItems() = 0;

    // Sets the caption of both menu items of registered tool `tool` (1 to 3): the Tools menu's
    // item, then the list popup's. Other tool numbers change nothing.
    virtual void setToolCaption(int tool, const QString &caption) = 0;
};

// What the main window needs of the viewer.
class ViewerBase : public QMainWindow
{
public:
    using QMainWindow::QMainWindow;

    QByteArray OpenPath; // native full path of the picture an open request asks for

    // The program renamed the file `oldPath` to `newPath`, or moved or deleted the file `path`
    // (native full paths): the picture list follows, so the viewer never steps onto a stale name.
    // A path the list does not hold changes nothing.
    virtual void pictureRenamed(const QByteArray &oldPath, const QByteArray &newPath) = 0;
    virtual void pictureRemoved(const QByteArray &path) = 0;
    // The program turned the picture of the file `path` a quarter (its Exif Orientation was
    // rewritten in place): its record's sides swap and a viewer showing it loads it again.
    virtual void pictureTurned(const QByteArray &path) { (void)path; }
};

// What the main window needs of the options dialog, which holds the registered tools' commands
// from start-up on, whether or not it has been shown.
class OptionsBase : public QWidget
{
public:
    using QWidget::QWidget;

    // Starts registered tool `tool` (1 to 3) on the file `nativePath` (full path, native bytes,
    // handed over as one argument) with the command the dialog holds at this moment, without
    // waiting for it. Empty when it started; otherwise why not, in Japanese, naming the command.
    [[nodiscard]] virtual QString launchTool(int tool, const QByteArray &nativePath) = 0;

    // Whether pictures are turned upright by their Exif Orientation (the check box of the
    // dialog, key "AutoRotate"; on unless turned off).
    [[nodiscard]] virtual bool autoRotate() const { return true; }
};

// The six process-wide window references, valid from the creation of their window to the end
// of the program; null before the window set has built them.
extern MainWindowBase *fMain;
extern ViewerBase *fView;
extern QWidget *fMoco;
extern QWidget *fRene;
extern OptionsBase *fOp;
extern QDialog *AboutBox;

} // namespace morvane
