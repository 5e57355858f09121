// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/foldercommands.h"

#include "files/dialogprompter.h"
#include "files/journaledops.h"

namespace morvane::files {

JournaledFolderCommands::JournaledFolderCommands(QWidget *dialogParent)
    : m_dialogs(std::make_unique<DialogPrompter>(dialogParent))
    , m_prompter(m_dialogs.get())
{}

JournaledFolderCommands::~JournaledFolderCommands() = default;

void JournaledFolderCommands::setPrompter(Prompter *prompter)
{
    m_prompter = prompter != nullptr ? prompter : m_dialogs.get();
}

bool JournaledFolderCommands::confirm(const QString &question)
{
    return m_prompter->confirm(question);
}

void JournaledFolderCommands::reportError(const QString &message)
{
    m_prompter->reportError(message);
}

bool JournaledFolderCommands::renameFolder(const QByteArray &native, const QByteArray &newName)
{
    return journaledRename(*m_prompter, native, newName).ok;
}

bool JournaledFolderCommands::trashFolder(const QByteArray &native)
{
    return journaledRemove(*m_prompter, {native}).ok;
}

} // namespace morvane::files
