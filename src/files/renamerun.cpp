// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/renamerun.h"

#include "files/fileoprules.h"
#include "files/runplan.h"
#include "files/undojournal.h"

#include <QFile>

#include <ctime>
#include <dirent.h>
#include <random>
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

    QByteArray newTag()
    {
        std::random_device seed;
        std::mt19937_64 random(seed());
        return QByteArray::number(static_cast<qulonglong>(random()), 16)
            + QByteArray::number(static_cast<qulonglong>(::getpid()));
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

    // Brings the files of an intent record to their new names, or back to their old ones. Each
    // file is found by its inode under its old, temporary or new name; the rest of the run is
    // planned again from there with the same temporary names, so that a second interruption
    // leaves the record as good as the first. Returns the journal entry of the files that have
    // their new names.
    journal::Entry settle(FileOperations &operations, const journal::Entry &record)
    {
        journal::Entry renamed = now("rename");
        if (record.items.empty())
            return renamed;
        const QByteArray folder =
            QByteArray::fromStdString(std::string(parentOf(record.items[0].to)));
        std::vector<RunItem> items;
        std::vector<const journal::Item *> found;
        for (const journal::Item &item : record.items) {
            for (const std::string *where : {&item.to, &item.via, &item.from}) {
                if (inodeOf(QByteArray::fromStdString(*where)) == item.stamp.inode) {
                    items.push_back({nameOf(*where), nameOf(item.to), nameOf(item.via)});
                    found.push_back(&item);
                    break;
                }
            }
        }
        (void)carryOut(operations, folder, planRun(items, namesIn(folder)), {});
        for (const journal::Item *item : found) {
            const QByteArray via = QByteArray::fromStdString(item->via);
            if (inodeOf(via) == item->stamp.inode)
                (void)operations.rename(via, QByteArray::fromStdString(nameOf(item->from)));
            const QByteArray to = QByteArray::fromStdString(item->to);
            if (inodeOf(to) == item->stamp.inode)
                renamed.items.push_back({journal::Op::Move, item->from, item->to, {}, stampOf(to)});
        }
        return renamed;
    }

} // namespace

std::vector<bool> renameRun(Prompter &prompter,
    UndoJournal &journal,
    const QByteArray &folder,
    const std::vector<std::pair<QByteArray, QByteArray>> &renames,
    const char *action,
    const RunStepHook &hook)
{
    const std::string tag = newTag().toStdString();
    std::vector<RunItem> items;
    std::vector<std::uint64_t> inodes;
    for (const auto &[from, to] : renames) {
        items.push_back(
            {from.toStdString(), to.toStdString(), runTemporaryName(tag, items.size())});
        inodes.push_back(inodeOf(at(folder, items.back().from)));
    }
    const RunPlan plan = planRun(items, namesIn(folder));
    bool needsRecord = false;
    for (const RunStep &s : plan.steps)
        needsRecord = needsRecord || s.to == items[s.item].via;
    journal::Entry record = now("run");
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (plan.verdicts[i] == RunVerdict::Renamed) {
            record.items.push_back({journal::Op::Move,
                at(folder, items[i].from).toStdString(),
                at(folder, items[i].to).toStdString(),
                at(folder, items[i].via).toStdString(),
                {0, 0, inodes[i]}});
        }
    }
    std::vector<bool> result(items.size(), false);
    QString error;
    if (needsRecord && !journal.writeIntent(QByteArray::fromStdString(tag), record, &error)) {
        prompter.reportError(error
            + QStringLiteral("\n中断に備えた記録がないため、名前を入れ替える変更は行いません。"));
        return result;
    }
    FileOperations operations(prompter);
    (void)carryOut(operations, folder, plan, hook);
    if (needsRecord) {
        // A step that failed may have left a file under its temporary name.
        (void)settle(operations, record);
        journal.removeIntent(QByteArray::fromStdString(tag));
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

int recoverRuns(Prompter &prompter, UndoJournal &journal)
{
    int count = 0;
    FileOperations operations(prompter);
    for (const auto &[tag, record] : journal.intents()) {
        // A record cut short was being written: no rename of its run had begun.
        if (record)
            journalRenames(prompter, journal, settle(operations, *record));
        journal.removeIntent(tag);
        ++count;
    }
    return count;
}

} // namespace morvane::files
