// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/journaledops.h"

#include "files/undojournal.h"

#include <ctime>
#include <sys/stat.h>

namespace morvane::files {

namespace {

    void appendEntry(Prompter &prompter, const journal::Entry &entry)
    {
        QString error;
        if (!entry.items.empty()
            && !UndoJournal(UndoJournal::defaultFolder()).append(entry, &error))
            prompter.reportError(error);
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
        const QList<QByteArray> &targets)
    {
        std::vector<bool> merged;
        for (const QByteArray &t : targets)
            merged.push_back(isFolder(t));
        FileOperations operations(prompter);
        const RequestResult result = op == journal::Op::Copy ? operations.copy(sources, targets)
                                                             : operations.move(sources, targets);
        journal::Entry entry = now(action);
        for (std::size_t i = 0; i < result.items.size() && i < merged.size(); ++i) {
            const auto k = static_cast<qsizetype>(i);
            if (result.items[i] == ItemStatus::Done && !merged[i]) {
                entry.items.push_back({op,
                    sources[k].toStdString(),
                    targets[k].toStdString(),
                    {},
                    stampOf(targets[k])});
            }
        }
        appendEntry(prompter, entry);
        return result;
    }

} // namespace

RequestResult journaledCopy(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets)
{
    return journaledTransfer(prompter, action, journal::Op::Copy, sources, targets);
}

RequestResult journaledMove(Prompter &prompter,
    const char *action,
    const QList<QByteArray> &sources,
    const QList<QByteArray> &targets)
{
    return journaledTransfer(prompter, action, journal::Op::Move, sources, targets);
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
