// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/renamerun.h"

#include "files/fileoprules.h"
#include "files/moverecord.h"
#include "files/runplan.h"
#include "files/undojournal.h"

#include <QFile>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

namespace morvane::files {

namespace {

    std::set<std::string> namesIn(const QByteArray &folder)
    {
        std::set<std::string> names;
        if (DIR *dir = ::opendir(folder.constData())) {
            while (const dirent *e = ::readdir(dir))
                names.insert(e->d_name);
            ::closedir(dir);
        }
        return names;
    }

    QByteArray at(const QByteArray &folder, const std::string &name)
    {
        return QByteArray::fromStdString(joinPath(folder.toStdString(), name));
    }

    std::string nameOf(const std::string &path)
    {
        return std::string(lastComponent(path));
    }

    std::uint64_t inodeOf(const QByteArray &path)
    {
        return stampOf(path).inode;
    }

    journal::Entry now(const char *action)
    {
        return {static_cast<std::int64_t>(std::time(nullptr)), action, {}};
    }

    void journalRenames(Prompter &prompter, UndoJournal &journal, journal::Entry entry)
    {
        if (entry.items.empty())
            return;
        QString error;
        if (!journal.append(entry, &error))
            prompter.reportError(error);
    }

    // Carries out the plan's steps; true for the steps that took place.
    std::vector<bool> carryOut(FileOperations &operations,
        const QByteArray &folder,
        const RunPlan &plan,
        const RunStepHook &hook)
    {
        std::vector<bool> done;
        for (std::size_t k = 0; k < plan.steps.size(); ++k) {
            if (hook)
                hook(k);
            const RunStep &s = plan.steps[k];
            done.push_back(
                operations.rename(at(folder, s.from), QByteArray::fromStdString(s.to)).ok);
        }
        if (hook)
            hook(plan.steps.size());
        return done;
    }

    // "f3 (復元).jpg", "f3 (復元 2).jpg", ...: a visible name for a file whose old name was
    // taken while it waited under its temporary one.
    std::string restoredName(const std::string &name, int n)
    {
        const std::size_t dot = name.rfind('.');
        const std::size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
        const std::string mark = n == 1 ? " (復元)" : " (復元 " + std::to_string(n) + ')';
        return name.substr(0, cut) + mark + name.substr(cut);
    }

    // Gives the file at the temporary path `via` its old name, else a visible free name derived
    // from it; false when it keeps the temporary name.
    bool bringBack(Prompter &prompter, const QByteArray &via, const std::string &from)
    {
        const QByteArray folder = QByteArray::fromStdString(std::string(parentOf(from)));
        const std::string name = nameOf(from);
        if (renameNoReplace(via, QByteArray::fromStdString(from), false) == 0)
            return true;
        for (int n = 1; n <= 100 && errno == EEXIST; ++n) {
            const QByteArray other = at(folder, restoredName(name, n));
            if (renameNoReplace(via, other, false) == 0) {
                prompter.reportError(
                    QStringLiteral("「%1」は別のファイルが使っているため、「%2」として戻しました。")
                        .arg(QFile::decodeName(QByteArray::fromStdString(from)),
                            QFile::decodeName(other)));
                return true;
            }
        }
        prompter.reportError(QStringLiteral("「%1」を一時的な名前「%2」から戻せませんでした。\n%3")
                                 .arg(QFile::decodeName(QByteArray::fromStdString(from)),
                                     QFile::decodeName(via),
                                     QString::fromStdString(reasonText(errno))));
        return false;
    }

    bool isFolder(const QByteArray &path)
    {
        struct stat st
        {
        };
        return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    // A run's record knows its folder by device and inode (in each item's stamp: size and
    // mtimeNs, which a run's record has no other use for); 0 in records written before.
    struct FolderId
    {
        std::uint64_t dev = 0;
        std::uint64_t ino = 0;
    };

    FolderId folderId(const journal::Item &item)
    {
        return {static_cast<std::uint64_t>(item.stamp.size),
            static_cast<std::uint64_t>(item.stamp.mtimeNs)};
    }

    bool isFolderWithId(const QByteArray &path, const FolderId &id)
    {
        struct stat st
        {
        };
        return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)
            && static_cast<std::uint64_t>(st.st_dev) == id.dev
            && static_cast<std::uint64_t>(st.st_ino) == id.ino;
    }

    // Where the folder `id` that stood at `old` is now, when it was renamed or moved nearby:
    // looked for below the old parent folder or, when that is gone too, its nearest existing
    // ancestor, at most three levels deep, on the folder's own device, links never followed, and
    // never more than a few thousand folders. Empty when it is not found.
    QByteArray findMovedFolder(const QByteArray &old, const FolderId &id)
    {
        constexpr int kDepth = 3;
        constexpr int kMaxFolders = 4096;
        std::string root(parentOf(old.toStdString()));
        while (!isFolder(QByteArray::fromStdString(root)) && root != parentOf(root))
            root = std::string(parentOf(root));
        std::vector<std::pair<std::string, int>> pending {{root, 0}};
        for (int visited = 0; !pending.empty() && visited < kMaxFolders; ++visited) {
            const auto [folder, depth] = pending.front();
            pending.erase(pending.begin());
            DIR *dir = ::opendir(folder.c_str());
            if (dir == nullptr)
                continue;
            while (const dirent *e = ::readdir(dir)) {
                const std::string_view name(e->d_name);
                if (name == "." || name == "..")
                    continue;
                const std::string path = joinPath(folder, name);
                struct stat st
                {
                };
                if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)
                    || static_cast<std::uint64_t>(st.st_dev) != id.dev)
                    continue;
                if (static_cast<std::uint64_t>(st.st_ino) == id.ino) {
                    ::closedir(dir);
                    return QByteArray::fromStdString(path);
                }
                if (depth + 1 < kDepth)
                    pending.emplace_back(path, depth + 1);
            }
            ::closedir(dir);
        }
        return {};
    }

    // `path` (a name in the run's folder) in the folder `now`.
    std::string rebased(const std::string &path, const QByteArray &now)
    {
        return path.empty() ? path : joinPath(now.toStdString(), lastComponent(path));
    }

    // The folder of the run `record` as it is now: where it stands, or where it was moved
    // (said, and the record's paths follow it); empty after saying that it cannot be found.
    QByteArray runFolder(Prompter &prompter, journal::Entry &record)
    {
        const QByteArray folder =
            QByteArray::fromStdString(std::string(parentOf(record.items[0].to)));
        const FolderId id = folderId(record.items[0]);
        if (id.ino == 0 ? isFolder(folder) : isFolderWithId(folder, id))
            return folder;
        const QByteArray moved = id.ino == 0 ? QByteArray() : findMovedFolder(folder, id);
        if (moved.isEmpty()) {
            prompter.reportError(QStringLiteral(
                "フォルダー「%1」が見つからないため、中断した名前の変更を終えられません"
                "でした。記録は残し、次の機会にもう一度試します。")
                                     .arg(QFile::decodeName(folder)));
            return {};
        }
        prompter.reportError(
            QStringLiteral("フォルダー「%1」は「%2」に移動していたため、そこで中断した名前の変更を"
                           "終えます。")
                .arg(QFile::decodeName(folder), QFile::decodeName(moved)));
        for (journal::Item &item : record.items) {
            item.from = rebased(item.from, moved);
            item.to = rebased(item.to, moved);
            item.via = rebased(item.via, moved);
        }
        return moved;
    }

    // Brings the files of an intent record to their new names, or back to their old ones. Each
    // file is found by its inode under its old, temporary or new name; the rest of the run is
    // planned again from there with the same temporary names, so that a second interruption
    // leaves the record as good as the first. The journal entry of the files that have their new
    // names goes to `renamed`. False when the record must stay: a file may still be under a
    // temporary name (its folder is gone, or no name could be given back).
    bool settle(Prompter &prompter,
        FileOperations &operations,
        journal::Entry record,
        journal::Entry &renamed)
    {
        if (record.items.empty())
            return true;
        const QByteArray folder = runFolder(prompter, record);
        if (folder.isEmpty())
            return false;
        std::vector<RunItem> items;
        std::vector<const journal::Item *> found;
        for (const journal::Item &item : record.items) {
            // The temporary name first: only this file of the run can be there, while a hard
            // link of it may stand at its new or old name.
            for (const std::string *where : {&item.via, &item.to, &item.from}) {
                if (inodeOf(QByteArray::fromStdString(*where)) == item.stamp.inode) {
                    items.push_back({nameOf(*where), nameOf(item.to), nameOf(item.via)});
                    found.push_back(&item);
                    break;
                }
            }
        }
        (void)carryOut(operations, folder, planRun(items, namesIn(folder)), {});
        bool settled = true;
        for (const journal::Item *item : found) {
            const QByteArray via = QByteArray::fromStdString(item->via);
            if (inodeOf(via) == item->stamp.inode && !bringBack(prompter, via, item->from))
                settled = false;
            const QByteArray to = QByteArray::fromStdString(item->to);
            if (inodeOf(to) == item->stamp.inode)
                renamed.items.push_back({journal::Op::Move, item->from, item->to, {}, stampOf(to)});
        }
        return settled;
    }

} // namespace

std::vector<bool> renameRun(Prompter &prompter,
    UndoJournal &journal,
    const QByteArray &folder,
    const std::vector<std::pair<QByteArray, QByteArray>> &renames,
    const char *action,
    const RunStepHook &hook)
{
    const std::string tag = UndoJournal::newTag().toStdString();
    std::vector<RunItem> items;
    std::vector<std::uint64_t> inodes;
    for (const auto &[from, to] : renames) {
        items.push_back(
            {from.toStdString(), to.toStdString(), runTemporaryName(tag, items.size())});
        inodes.push_back(inodeOf(at(folder, items.back().from)));
    }
    const RunPlan plan = planRun(items, namesIn(folder));
    // One rename is whole or not at all; a chain or a cycle cut short is finished by recovery.
    const bool needsRecord = plan.steps.size() > 1;
    journal::Entry record = now("run");
    struct stat where
    {
    };
    (void)::stat(folder.constData(), &where); // found again by these if it is moved
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (plan.verdicts[i] == RunVerdict::Renamed) {
            record.items.push_back({journal::Op::Move,
                at(folder, items[i].from).toStdString(),
                at(folder, items[i].to).toStdString(),
                at(folder, items[i].via).toStdString(),
                {static_cast<std::int64_t>(where.st_dev),
                    static_cast<std::int64_t>(where.st_ino),
                    inodes[i]}});
        }
    }
    std::vector<bool> result(items.size(), false);
    QString error;
    if (needsRecord && !journal.writeIntent(QByteArray::fromStdString(tag), record, &error)) {
        prompter.reportError(error
            + QStringLiteral("\n中断に備えた記録がないため、互いの名前を使う変更は行いません。"));
        return result;
    }
    FileOperations operations(prompter);
    (void)carryOut(operations, folder, plan, hook);
    if (needsRecord) {
        // A step that failed may have left a file under its temporary name.
        journal::Entry settled;
        if (settle(prompter, operations, record, settled))
            journal.removeIntent(QByteArray::fromStdString(tag));
        else
            journal.releaseIntent(QByteArray::fromStdString(tag));
    }
    journal::Entry renamed = now(action != nullptr ? action : "");
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QByteArray from = at(folder, items[i].from);
        const QByteArray to = at(folder, items[i].to);
        // A refused file is still sent to the file operations, which refuse it in their usual
        // words: its new name is taken.
        if (plan.verdicts[i] == RunVerdict::Occupied || plan.verdicts[i] == RunVerdict::SameTarget)
            (void)operations.rename(from, QByteArray::fromStdString(items[i].to));
        result[i] = items[i].from != items[i].to && inodes[i] != 0 && inodeOf(to) == inodes[i];
        if (result[i])
            renamed.items.push_back(
                {journal::Op::Move, from.toStdString(), to.toStdString(), {}, stampOf(to)});
    }
    if (action != nullptr)
        journalRenames(prompter, journal, std::move(renamed));
    return result;
}

Recovery recoverRuns(Prompter &prompter, UndoJournal &journal)
{
    Recovery recovery;
    FileOperations operations(prompter);
    for (const auto &[tag, record] : journal.intents()) {
        ++recovery.runs;
        journal::Entry renamed = now("rename");
        // A record cut short was being written: no rename or move of its run had begun.
        const bool settled = !record
            || (isMoveRecord(*record) ? settleMove(prompter, journal, *record, recovery)
                                      : settle(prompter, operations, *record, renamed));
        journalRenames(prompter, journal, std::move(renamed));
        if (settled) {
            journal.removeIntent(tag);
        } else {
            journal.releaseIntent(tag);
            ++recovery.kept;
        }
    }
    return recovery;
}

} // namespace morvane::files
