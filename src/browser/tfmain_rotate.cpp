// SPDX-License-Identifier: GPL-3.0-or-later
// The rotate commands of the main window's popup menu (and of the viewer, through the window
// set): the Exif Orientation of a JPEG rewritten in place, one undo journal entry per command.
#include "browser/quarterturn.h"
#include "browser/tfmain.h"
#include "frame/windowrefs.h"
#include "platform/folderscan.h"

namespace morvane {

int TfMain::rotatePictures(const QList<QByteArray> &paths, bool clockwise)
{
    QList<files::PatchRequest> requests;
    for (const QByteArray &path : paths) {
        if (auto request = browser::quarterTurn(path, clockwise))
            requests << *request;
    }
    if (requests.isEmpty()) {
        prompter().reportError(QStringLiteral("この形式のファイルは回転できません。"));
        return 0;
    }
    const int turned = files::journaledPatches(prompter(), "rotate", requests);
    if (turned == 0)
        return 0;
    // The files are new (inode and change time), so the cache decodes them again; the others
    // come from it as they are.
    if (!FolderNative.isEmpty())
        ThumbnailList();
    if (fView != nullptr) {
        for (const files::PatchRequest &r : requests)
            fView->pictureTurned(r.path);
    }
    showStatus(QStringLiteral("%1 個のファイルを回転しました").arg(turned));
    return turned;
}

void TfMain::updateRotateActions()
{
    // Only the first few selected files are read: enough to tell whether the command can do
    // anything, without reading a large selection each time the menu opens.
    constexpr int kProbed = 32;
    bool any = false;
    for (int i = 0; i < SelectedNames.size() && i < kProbed && !any; ++i)
        any = browser::quarterTurn(platform::joinNative(FolderNative, SelectedNames[i]), true)
                  .has_value();
    RotateRight->setEnabled(any);
    RotateLeft->setEnabled(any);
}

} // namespace morvane
