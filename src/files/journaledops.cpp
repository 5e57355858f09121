// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/journaledops.h"

#include "files/moverecord.h"
#include "files/undojournal.h"

#include <ctime>
#include <sys/stat.h>

namespace morvane::files {

namespace {

    void appendEntry(Prompter &prompter, UndoJournal &undoJournal, const journal::Entry &entry)
    {
        QString error;
        if (!entry.items.empty() && !undoJournal.append(entry, &error))
            prompter.reportError(error);
    }

    void appendEntry(Prompter &prompter, const journal::Entry &entry)
    {
        UndoJournal undoJournal(UndoJournal::defaultFolder());
        appendEntry(prompter, undoJournal, entry);
    }

    journal::Entry now(const char *action)
    {
        return {static_cast<std::int64_t>(std::time(nullptr)), action, {}};
    }

    bool isFolder(const QByteArray &path)
    {
        struct stat st
        {
        };
        return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    RequestResult journaledTransfer(Prompter &prompter,
        const char *action,
        journal::Op op,
        const QList<QByteArray> &sources,
        const QList<QByteArray> &targets,
        const FileSystemSeams &seams)
    {
        std::vector<bool> merged;
        for (const QByteArray &t : targets)
            merged.push_back(isFolder(t));
        // Recorded before the first item leaves, so that a move cut short by a kill is finished
        // and journaled by recovery (or by this same move run again).
        UndoJournal undoJournal(UndoJournal::defaultFolder());
        MoveIntent intent(prompter, undoJournal);
        if (op == journal::Op::Move)
            intent.begin(action, sources, targets, merged);
        FileOperations operations(prompter, seams);
        const RequestResult result = op == journal::Op::Copy ? operations.copy(sources, targets)
                                                             : operations.move(sources, targets);
        journal::Entry entry = now(action);
        for (std::size_t i = 0; i < result.items.size() && i < merged.size(); ++i) {
            const auto k = static_cast<qsizetype>(i);
            if (result.items[i] == ItemStatus::Done && !merged[i]) {
                // The file it replaced went to the trash first; undone after the item itself
                // (undo goes from the last item), it comes back to the name the item frees.
                if (i < result.replacedAs.size() && !result.replacedAs[i].isEmpty()) {
                    const QByteArray &aside = result.replacedAs[i];
                    entry.items.push_back({journal::Op::Trash,
                        targets[k].toStdString(),
                        aside.toStdString(),
                        {},
                        stampOf(aside)});
                }
                entry.items.push_back({op,
                    sources[k].toStdString(),
                    targets[k].toStdString(),
                    {},
                    stampOf(targets[k])});
            }
        }
        appendEntry(prompter, undoJournal, entry);
        intent.end();
        return result;
    }

} // namespace

RequestResult journaledCopy(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets,
    const FileSystemSeams &seams)
{
    return journaledTransfer(prompter, action, journal::Op::Copy, sources, targets, seams);
}

RequestResult journaledMove(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets,
    const FileSystemSeams &seams)
{
    return journaledTransfer(prompter, action, journal::Op::Move, sources, targets, seams);
}

RequestResult journaledRemove(Prompter &prompter, const QList<QByteArray> &paths)
{
    const RequestResult result = FileOperations(prompter).remove(paths);
    journal::Entry entry = now("trash");
    for (std::size_t i = 0; i < result.items.size() && i < result.trashedAs.size(); ++i) {
        const QByteArray &where = result.trashedAs[i];
        if (result.items[i] == ItemStatus::Done && !where.isEmpty()) {
            entry.items.push_back({journal::Op::Trash,
                paths[static_cast<qsizetype>(i)].toStdString(),
                where.toStdString(),
                {},
                stampOf(where)});
        }
    }
    appendEntry(prompter, entry);
    return result;
}

RequestResult journaledRename(Prompter &prompter, const QByteArray &path, const QByteArray &newName)
{
    const RequestResult result = FileOperations(prompter).rename(path, newName);
    const QByteArray target =
        QByteArray::fromStdString(joinPath(parentOf(path.toStdString()), newName.toStdString()));
    if (result.ok && target != path) {
        journal::Entry entry = now("rename");
        entry.items.push_back(
            {journal::Op::Move, path.toStdString(), target.toStdString(), {}, stampOf(target)});
        appendEntry(prompter, entry);
    }
    return result;
}

void journalNewFolder(Prompter &prompter, const QByteArray &path)
{
    journal::Entry entry = now("newfolder");
    entry.items.push_back({journal::Op::NewFolder, {}, path.toStdString(), {}, stampOf(path)});
    appendEntry(prompter, entry);
}

} // namespace morvane::files
