// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/fileoperations.h"
#include "platform/foldertree.h"

#include <memory>

class QWidget;

namespace morvane::files {

// The folder tree's "名前の変更" and "削除" as journaled file operations (so "元に戻す" reverses
// them), asking and reporting through a prompter: message boxes over `dialogParent` unless
// another prompter is set. UI thread only.
class JournaledFolderCommands final : public platform::FolderCommands
{
public:
    explicit JournaledFolderCommands(QWidget *dialogParent);
    ~JournaledFolderCommands() override;

    // `prompter` must outlive its use; null restores the message boxes.
    void setPrompter(Prompter *prompter);

    [[nodiscard]] bool confirm(const QString &question) override;
    void reportError(const QString &message) override;
    [[nodiscard]] bool renameFolder(const QByteArray &native, const QByteArray &newName) override;
    [[nodiscard]] bool trashFolder(const QByteArray &native) override;

private:
    std::unique_ptr<Prompter> m_dialogs;
    Prompter *m_prompter = nullptr;
};

} // namespace morvane::files
