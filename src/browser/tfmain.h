// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listentry.h"
#include "browser/sortorder.h"
#include "files/fileoperations.h"
#include "frame/windowrefs.h"
#include "imaging/imagedecode.h"
#include "platform/desktop.h"

#include <QAction>
#include <QActionGroup>
#include <QByteArray>
#include <QList>
#include <QPixmap>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QDrag;
class QKeyEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMimeData;
class QMouseEvent;
class QListView;
class QMenu;
class QSplitter;
class QStatusBar;
class QStyle;
class QTabWidget;
class QToolBar;

namespace morvane {

namespace platform {
    class FolderTree;
} // namespace platform

namespace files {
    class JournaledFolderCommands;
} // namespace files

namespace browser {
    class ListBuilder;
    class LiveDecoder;
    class ThumbCache;
} // namespace browser

struct LiveFill;

class FileListModel;
class ListItemDelegate;
class SettingsStore;
class StringGrid;

// The main window `fMain`: folder tree and information grid on the left, the path field and the
// file list on the right, tool bar on top, four status panels at the bottom. It owns the shared
// state of MainWindowBase. Its creation handler reads section "Main" of the settings file; its
// close handler writes it and then calls the end handler (the window set ends the program
// there). UI thread only.
//
// Section "Main" keeps the window's place as its frame's top-left ("Left", "Top") and the size
// of its client area, the part below the menu bar ("Width", "Height"). The frame's size is known
// only to the window manager once the window is shown (and not at all on some platforms), so a
// stored outer size could not be turned back into the same window; the client size can, and
// reading what was written gives the same window on every start. The design client area is
// 632 × 426.
class TfMain : public MainWindowBase
{
    Q_OBJECT

public:
    // `settingsPath`: the settings file; `treeRoot`: the folder the tree's top node stands for
    // (empty for the desktop). The constructor builds the window, runs the folder selection of
    // the tree's top node and then the creation handler, as the program's start does.
    TfMain(QString settingsPath, const QString &treeRoot, QWidget *parent = nullptr);
    ~TfMain() override;

    // Rebuilds the file list of FolderPath with the checked Size and Quality items, under the
    // wait cursor, then writes the census. Throws UserError when the build ends early (memory
    // exhausted): the items listed so far stay and the census is not rewritten.
    void ThumbnailList() override;

    // The list as the organising dialogs change it (see MainWindowBase).
    bool RenameListItem(const QByteArray &oldName, const QByteArray &newName) override;
    void RebuildSelectedNames() override;
    void RemoveSelectedItems() override;
    void setToolCaption(int tool, const QString &caption) override;

    // Called after the close handler has saved; the window set ends the program there.
    void setEndHandler(std::function<void()> handler) { m_endHandler = std::move(handler); }

    // The text of status panel `i` (0 to 3).
    [[nodiscard]] QString panelText(int i) const;
    void setPanelText(int i, const QString &text);
    // What a file operation just did, in the status bar's message area for a few seconds.
    void showStatus(const QString &text);
    // Names the newest undo journal entry in actUndo's caption ("元に戻す: 移動 (12 個)(&U)"), or
    // disables it with its plain caption when there is none. Done as the 編集 menu opens; as it
    // closes the item is enabled again with its plain caption, so that Ctrl+Z always reaches the
    // journal (which another window or the CLI may have written meanwhile). Its status tip and
    // tooltip name the items that block the entry and why (files::undoBlockers), else are empty.
    void updateUndoAction();
    // Turns the pictures of `paths` (native full paths) a quarter by rewriting their Exif
    // Orientation in place, as one journal entry ("回転"); files whose orientation cannot be
    // written so are left alone. The list is rebuilt (the thumbnail cache sees new files) and
    // the viewer reloads a picture it shows. Returns how many were turned.
    int rotatePictures(const QList<QByteArray> &paths, bool clockwise);
    // Enables the rotate items when a selected file's orientation can be written.
    void updateRotateActions();

    // Height of the menu bar inside the window (0 when the platform shows it elsewhere), and
    // the height of the client area below it.
    [[nodiscard]] int menuBarHeight() const;
    [[nodiscard]] int clientHeight() const;

    // Selects the listed file whose native name is `nativeName` alone, as a click on it does,
    // makes it the current item and scrolls it into view. False, and the selection unchanged,
    // when the list holds no such file.
    bool selectFile(const QByteArray &nativeName);

    // The folder shown when the program last closed (key "LastFolder" of section "Start", as
    // read at start; native bytes), empty when none was stored.
    [[nodiscard]] const QByteArray &lastFolder() const noexcept { return m_lastFolder; }

    // The list model behind ListView1.
    [[nodiscard]] FileListModel *listModel() const noexcept { return m_list; }

    // The box size and JPEG scale of the last build, and its census prefix.
    [[nodiscard]] int boxSize() const noexcept { return BoxSize; }
    [[nodiscard]] int jpegScale() const noexcept { return JpegScale; }
    [[nodiscard]] const QString &censusText() const noexcept { return CensusText; }

    // Adds one built item to the list at its sorted place and returns its list index. The list
    // builder calls it once per file, in enumeration order.
    int addListEntry(ListEntry entry);

    // The live build (on by default): ThumbnailList lists every file at once with a placeholder
    // box, writes the census and returns; the boxes are filled from decoding threads while the
    // window stays live, the items on screen first. Off: the blocking build, all boxes drawn
    // before ThumbnailList returns.
    void setLiveBuild(bool on) { m_liveBuild = on; }
    // True while a live build fills boxes.
    [[nodiscard]] bool isFilling() const noexcept;
    // Stops the live build that fills boxes (Esc in the list, another folder, 更新): the items
    // stay, boxes not decoded keep their placeholder. Nothing when none runs.
    void cancelFill();
    // How the list decodes pictures (both builds); tests slow or gate it. Before a build only.
    void setPictureDecoder(const std::function<imaging::DecodeResult(const QByteArray &,
            imaging::PictureFormat,
            const imaging::ThumbRequest &,
            const imaging::MemoryGate &)> &decoder);

    // `ExifList`: resets the information grid to 6 rows and appends the Exif rows of the file at
    // `nativePath` (the file system's bytes; `path` is the same path as the user reads it, for
    // messages), under the wait cursor. Returns the message of the error that ended the walk
    // (the rows met before it stay), or an empty text after a normal end; the caller reports it.
    [[nodiscard]] QString ExifList(const QString &path, const QByteArray &nativePath);

    // Where files, folders and the help manual are handed to be opened; the desktop's own
    // handlers unless a test has put another in their place.
    void setDesktop(std::unique_ptr<platform::Desktop> desktop) { m_desktop = std::move(desktop); }
    [[nodiscard]] platform::Desktop &desktop();

    // How the file operations ask and report (replace questions, failures, progress): message
    // boxes over this window unless a test has put another prompter in their place.
    void setPrompter(std::unique_ptr<files::Prompter> prompter)
    {
        m_prompter = std::move(prompter);
    }
    [[nodiscard]] files::Prompter &prompter();

    // The drag of the selected files out of the list: their native paths as `text/uri-list`
    // (a file manager copies them), marked as this list's drag, with the drag cursor for one or
    // for several files. Null when nothing is selected or no folder is chosen. The drag is a
    // child of ListView1; the caller runs or deletes it.
    [[nodiscard]] QDrag *makeListDrag();
    // The drag cursor for one file or for several: a 32 x 32 image pointing at its top-left
    // pixel, placed so that the pixel is the centre of the returned 64 x 64 picture, where Qt
    // puts a drag cursor's hot spot.
    [[nodiscard]] static QPixmap dragCursor(bool several);

    // Controls.
    QToolBar *ToolBar1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    platform::FolderTree *ShellTreeView1 = nullptr;
    StringGrid *StringGrid1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QWidget *Panel2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QListView *ListView1 = nullptr;
    QMenu *PopupMenu1 = nullptr;

    // Actions.
    QAction *actOpen = nullptr;
    QAction *actClose = nullptr;
    QAction *actAll = nullptr;
    QAction *actHMF = nullptr;
    QAction *actDel = nullptr;
    QAction *actRenew = nullptr;
    QAction *actExp = nullptr;
    QAction *actOp = nullptr;
    QAction *actReName = nullptr;
    QAction *actUndo = nullptr; // "元に戻す(&U)", Ctrl+Z: reverses the newest journal entry

    // Menu items without an action of their own.
    QAction *N22 = nullptr; // "すべて選択"
    QAction *N23 = nullptr; // "画像以外選択"
    QAction *N11 = nullptr; // "フォルダ更新"
    QAction *UpDate1 = nullptr;
    QAction *NewFolder1 = nullptr; // actHMF under "フォルダの新規作成(&M)..."
    QAction *N16 = nullptr; // tool items of the main menu
    QAction *N17 = nullptr;
    QAction *N18 = nullptr;
    QAction *N19 = nullptr; // tool items of the popup menu
    QAction *N20 = nullptr;
    QAction *N21 = nullptr;
    QAction *Help2 = nullptr;
    QAction *About1 = nullptr;
    QAction *RotateRight = nullptr; // "右に回転", at the end of the popup menu
    QAction *RotateLeft = nullptr; // "左に回転"
    // The "サイズ" items "32" to "320" and the "クオリティ" items "Full" to "Eighth", in menu
    // order; each item's data() is its Tag.
    std::array<QAction *, 7> SizeItems {};
    std::array<QAction *, 4> QualityItems {};
    // The "並べ替え" items: the six orders, in menu order (data() is the browser::SortKey), and
    // the two directions.
    std::array<QAction *, 6> SortKeyItems {};
    QAction *SortAscending = nullptr;
    QAction *SortDescending = nullptr;

    // The Exif date taken (DateTimeOriginal) of the file at `nativePath`, as
    // browser::takenSeconds gives it; nothing for a file without a readable one.
    [[nodiscard]] static std::optional<std::int64_t> dateTaken(const QByteArray &nativePath);

    // Handlers.
    void ShellTreeView1Change();
    void N11Click();
    void N3201Click(QAction *sender);
    void Eighth1Click(QAction *sender);
    void UpDate1Click();
    void actCloseExecute();
    void actRenewExecute();
    void About1Click();
    // Filled by the selection and command handling that builds on this window.
    void actOpenExecute();
    void actAllExecute();
    void N22Click();
    void N23Click();
    void actHMFExecute();
    void actDelExecute();
    void actExpExecute();
    void actOpExecute();
    void actReNameExecute();
    void actUndoExecute();
    void Help2Click();
    void N16Click();
    void N17Click();
    void N18Click();
    void N19Click();
    void N20Click();
    void N21Click();
    void ListView1SelectItem();
    void ListView1DblClick();
    // The caption of list item `row` was edited in place to `text`: the file is renamed through
    // the file operations, and only when that worked the item takes the new caption (and native
    // name, QFile::encodeName of the text) and moves to its sorted place. A refused rename (an
    // existing name, "/" or NUL in the text...) is reported and the caption stays the old name.
    void ListView1Edited(int row, const QString &text);
    // A drag over or onto the folder tree: only a drag of this list's files while the tree has a
    // selected folder is accepted; the drop moves the selected files into the folder of the node
    // under the drop point (nothing outside a node) and emits filesMovedByDrop.
    void ShellTreeView1DragOver(QDragMoveEvent *event);
    void ShellTreeView1DragDrop(QDropEvent *event);
    // A press in the list: shift with the left button selects exactly the items from the anchor
    // (SelectedIndex) to the item under the pointer. True when the press was taken.
    bool ListView1MouseDown(QMouseEvent *event);
    // A drag over the list: this list's drag is accepted while files are selected (so its cursor
    // shows), but a drop there changes nothing.
    void ListView1DragOver(QDragMoveEvent *event);
    // Files dropped from a file manager (local file URLs, in drop order): moved into FolderNative
    // under their own names, whatever the outcome the list is rebuilt. With no folder chosen
    // nothing is moved.
    void dropFiles(const QList<QUrl> &urls);
    // Keys pressed in the list: Enter opens the selection (actOpen), Delete is actDel,
    // Backspace and Alt+Up go to the parent folder. True when the key was taken.
    bool ListView1KeyDown(QKeyEvent *key);
    // Ctrl+L: the path field takes a typed or pasted folder; Enter goes there (a folder that
    // does not exist or the tree cannot show is reported), Esc gives the field back read-only
    // with the current folder, as does leaving it.
    void editPath();
    bool Edit2KeyDown(QKeyEvent *key);
    // Selects the folder `folder` (native path) in the tree, which lists it; false when it is no
    // folder or the tree cannot show it.
    bool goToFolder(const QByteArray &folder);
    void goToParentFolder();

signals:
    // A build of the list ended (after the census was written).
    void listBuilt();
    // Files of the list were dragged onto the tree folder `folder` (native path) and the move
    // was tried, whatever its result. The window set hands this to the copy/move dialog, whose
    // destination history takes the folder once.
    void filesMovedByDrop(const QByteArray &folder);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout(const QString &treeRoot);
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildPopupMenu();
    // The "並べ替え" submenu at the end of `view`, and its handling.
    void buildSortMenu(QMenu *view);
    [[nodiscard]] browser::SortOrder checkedSortOrder() const;
    // Re-sorts the list in the checked order (nothing when it is in that order already).
    void applySortOrder();
    // The sort keys of section "Option" and the last folder of section "Start".
    void readSortSettings(const SettingsStore &s);
    void writeSortSettings(SettingsStore &s) const;
    void connectHandlers();
    void connectKeys();
    void endPathEdit();
    void FormCreate();
    void FormClose();
    // The "Main" section's keys, read into and written from the window.
    void readSettings();
    [[nodiscard]] bool writeSettings(QString *errorMessage) const;
    // Applies the list view's icon and grid sizes for BoxSize.
    // The device pixel ratio of the list view when its boxes were last sized (applyBoxSize):
    // builds decode and fit in device pixels with it, read here on the UI thread only.
    qreal m_listPixelRatio = 1.0;
    void applyBoxSize();
    // Connects the selection handling to the list's selection and to the emptying of the list.
    void connectSelection();
    // The live build (tfmain_live.cpp): its start from ThumbnailList, the boxes handed over from
    // the decoding threads, the items on screen sent first, its end; the census rewritten from
    // the list when items leave or arrive outside a build.
    void connectLiveBuild();
    void startLiveBuild();
    void takeLiveBoxes();
    void prioritiseVisible();
    void endFill();
    void censusFollowsList();
    // Selects exactly the items `pick` accepts, in one change of the selection, and gives the
    // list the focus.
    void selectOnly(const std::function<bool(const ListEntry &)> &pick);
    // FolderPath + "/" + caption: the full path of a listed file as it is shown, for messages
    // only; commands reach the file by FolderNative and its native name.
    [[nodiscard]] QString filePathOf(const QString &caption) const;
    // List index of the first selected item in list order, or -1.
    [[nodiscard]] int firstSelectedRow() const;
    // Drags, drops, the shift-click and in-place editing of the list and the tree.
    void connectFileOperations();
    // Takes out of the list the items of `names` (native, request order) whose files `result`
    // says were done, then brings the selection handling up to date.
    void removeDoneItems(const QList<QByteArray> &names, const files::RequestResult &result);
    // Tells in the status bar how many files a move or drop put into `folder`.
    void showMoved(const files::RequestResult &result, const QByteArray &folder);
    // Tells the viewer that the file `oldName` of the current folder now bears `newName`, or
    // that the file `name` has left the folder, so its picture list follows.
    void viewerFollowsRename(const QByteArray &oldName, const QByteArray &newName) const;
    void viewerFollowsRemoval(const QByteArray &name) const;
    [[nodiscard]] bool isListDrag(const QMimeData *mime) const;
    // Whether `mime` is a drop of local files from outside this window's list.
    [[nodiscard]] bool acceptsShellDrop(const QMimeData *mime) const;
    // Makes `dialog` a dialog of this window, in front of it, centred over it and on its screen.
    void placeDialog(QWidget *dialog) const;
    // Starts registered tool `tool` on the first selected file, in list order.
    void startTool(int tool);
    // Hands `url` to the desktop; a desktop that cannot start any handler is reported.
    void openOnDesktop(const QUrl &url, const QString &shownPath);

    QString m_settingsPath;
    QByteArray m_lastFolder;
    FileListModel *m_list = nullptr;
    ListItemDelegate *m_delegate = nullptr;
    std::array<QLabel *, 4> m_panels {};
    QActionGroup *m_sizeGroup = nullptr;
    QStyle *m_toolStyle = nullptr; // the tool buttons' style, owned by ToolBar1
    QActionGroup *m_qualityGroup = nullptr;
    QActionGroup *m_sortKeyGroup = nullptr;
    QActionGroup *m_sortDirectionGroup = nullptr;
    std::function<void()> m_endHandler;

    // Private state of the list build.
    QString CensusText;
    int JpegScale = 3;
    int BoxSize = 48;
    std::unique_ptr<browser::ListBuilder> m_builder;
    // The thumbnail cache on disk, its limit from section "Option" (made when the settings are
    // read); the refresh command builds without reading it.
    std::unique_ptr<browser::ThumbCache> m_cache;
    bool m_refreshing = false;
    bool m_liveBuild = true;
    std::unique_ptr<LiveFill> m_fill; // the live build's state; after m_cache, so gone before it
    std::unique_ptr<platform::Desktop> m_desktop;
    std::unique_ptr<files::Prompter> m_prompter;
    std::unique_ptr<files::JournaledFolderCommands> m_treeCommands; // the folder tree's commands
    bool m_shiftPressTaken = false; // the list's press was a shift-click; its release is ours too
    // The viewports whose events the window filters, compared by address only (they may be gone
    // while the window is destroyed).
    const QObject *m_listViewport = nullptr;
    const QObject *m_treeViewport = nullptr;
};

} // namespace morvane
