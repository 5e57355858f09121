// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/undo.h"

#include "files/fileoprules.h"
#include "files/filepatch.h"
#include "files/moverecord.h"
#include "files/renamerun.h"
#include "files/undojournal.h"
#include "platform/folderscan.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

namespace {

    QByteArray native(const std::string &path)
    {
        return QByteArray::fromStdString(path);
    }

    QString shown(const std::string &path)
    {
        return QFile::decodeName(native(path));
    }

    bool exists(const std::string &path)
    {
        struct stat st
        {
        };
        return ::lstat(path.c_str(), &st) == 0;
    }

    // Collects what the file operations report, item by item, and never agrees to replace.
    class Collector : public Prompter
    {
    public:
        Collector(Prompter &user, QStringList &messages)
            : m_user(user)
            , m_messages(messages)
        {}
        ReplaceAnswer askReplace(const QByteArray &, const QByteArray &target, bool) override
        {
            m_messages << takenText(target.toStdString());
            return ReplaceAnswer::No;
        }
        bool confirm(const QString &question) override { return m_user.confirm(question); }
        void reportError(const QString &message) override { m_messages << message; }
        void progressStarted(const QString &title, qint64 total) override
        {
            m_user.progressStarted(title, total);
        }
        bool progressed(qint64 done, const QByteArray &current) override
        {
            return m_user.progressed(done, current);
        }
        void progressFinished() override { m_user.progressFinished(); }

        static QString takenText(const std::string &path)
        {
            return QStringLiteral("「%1」には別のファイルがあるため、元に戻しませんでした。")
                .arg(shown(path));
        }

    private:
        Prompter &m_user;
        QStringList &m_messages;
    };

    // Puts a trashed file back at its old place without replacing anything, and removes its
    // .trashinfo (info/NAME.trashinfo beside files/).
    void restoreFromTrash(Collector &collector, const journal::Item &item, int &undone)
    {
        const QByteArray from = native(item.to);
        const QByteArray to = native(item.from);
        int rc =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (rc != 0 && errno == EXDEV) {
            // The trash is on another file system: copied back, checked, then removed there.
            rc = FileOperations(collector).move({from}, {to}).ok ? 0 : -2;
        }
        if (rc == -1) {
            collector.reportError(
                QStringLiteral("「%1」をごみ箱から戻せませんでした。\n%2")
                    .arg(shown(item.from), QString::fromStdString(reasonText(errno))));
        }
        if (rc != 0)
            return;
        const std::string trash(parentOf(parentOf(item.to)));
        const std::string info =
            joinPath(joinPath(trash, "info"), std::string(lastComponent(item.to)) + ".trashinfo");
        ::unlink(info.c_str());
        ++undone;
    }

    // Bytes compared against the source, at most, before a copy goes to the trash; a larger tree
    // is judged by its change times alone.
    constexpr std::int64_t kCompareBytes = std::int64_t(64) << 20;

    bool sameBytes(const std::string &a, const std::string &b)
    {
        QFile fa(QFile::decodeName(native(a)));
        QFile fb(QFile::decodeName(native(b)));
        if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)
            || fa.size() != fb.size())
            return false;
        while (!fa.atEnd()) {
            if (fa.read(1 << 16) != fb.read(1 << 16))
                return false;
        }
        return true;
    }

    // The first entry of the copy `item.to` (a file or a folder with everything in it) that was
    // changed after the copy was journaled at `time`: its change time is later (touch -r cannot
    // set that), or, for a tree small enough, its bytes differ from the source's. Empty when
    // none was.
    std::string editedInCopy(const journal::Item &item, std::int64_t time)
    {
        struct Walk
        {
            std::vector<std::string> files; // relative to the copy, "" for the copy itself
            std::int64_t bytes = 0;
            std::string changed;
        };
        Walk w;
        std::vector<std::string> pending {""};
        while (!pending.empty() && w.changed.empty()) {
            const std::string rel = pending.back();
            pending.pop_back();
            const std::string path = rel.empty() ? item.to : joinPath(item.to, rel);
            struct stat st
            {
            };
            if (::lstat(path.c_str(), &st) != 0 || st.st_ctim.tv_sec > time) {
                w.changed = path;
            } else if (S_ISREG(st.st_mode)) {
                w.files.push_back(rel);
                w.bytes += st.st_size;
            } else if (S_ISDIR(st.st_mode)) {
                for (const std::string &name : platform::entryNames(native(path)))
                    pending.push_back(rel.empty() ? name : joinPath(rel, name));
            }
        }
        if (!w.changed.empty() || w.bytes > kCompareBytes || !exists(item.from))
            return w.changed;
        for (const std::string &rel : w.files) {
            const std::string copy = rel.empty() ? item.to : joinPath(item.to, rel);
            if (!sameBytes(copy, rel.empty() ? item.from : joinPath(item.from, rel)))
                return copy;
        }
        return {};
    }

    void removeNewFolder(Collector &collector, const journal::Item &item, int &undone)
    {
        if (::rmdir(item.to.c_str()) == 0) {
            ++undone;
        } else if (errno == ENOTEMPTY || errno == EEXIST) {
            collector.reportError(
                QStringLiteral("フォルダー「%1」は空ではないため、削除しませんでした。")
                    .arg(shown(item.to)));
        } else {
            collector.reportError(
                QStringLiteral("フォルダー「%1」を削除できませんでした。\n%2")
                    .arg(shown(item.to), QString::fromStdString(reasonText(errno))));
        }
    }

    // Puts the bytes a patch replaced back, the same way they were written.
    void undoPatch(Collector &collector, const journal::Item &item, int &undone)
    {
        const std::optional<std::vector<journal::Patch>> patches = journal::decodePatches(item.via);
        QString error;
        if (!patches) {
            collector.reportError(
                QStringLiteral("「%1」の記録が壊れているため、元に戻しませんでした。")
                    .arg(shown(item.to)));
        } else if (patchFile(native(item.to), journal::reversedPatches(*patches), &error)) {
            ++undone;
        } else {
            collector.reportError(error);
        }
    }

} // namespace

QString UndoReport::text() const
{
    if (!found) // nothing, or a journal that cannot be read
        return refused.isEmpty() ? QStringLiteral("元に戻す操作はありません。")
                                 : refused.join(u'\n');
    QString out;
    if (refused.isEmpty())
        out = QStringLiteral("「%1」を元に戻しました。").arg(action);
    else if (undone == 0)
        out = QStringLiteral("「%1」を元に戻せませんでした。").arg(action);
    else
        out = QStringLiteral("「%1」の %2 件を元に戻しました。次の項目は元に戻せませんでした。")
                  .arg(action)
                  .arg(undone);
    for (const QString &r : refused)
        out += u'\n' + r;
    return out;
}

QString actionLabel(const std::string &action)
{
    // clang-format off
    static const std::map<std::string, const char *> kLabels = {
        {"rename", "名前の変更"}, {"move", "移動"}, {"copy", "コピー"}, {"trash", "削除"},
        {"drop", "ドロップでの移動"}, {"newfolder", "フォルダの新規作成"}, {"rotate", "回転"},
    };
    // clang-format on
    const auto it = kLabels.find(action);
    return it != kLabels.end() ? QString::fromUtf8(it->second) : QString::fromStdString(action);
}

namespace {

    // Why undo leaves `item` as it is, known without acting on it: its file changed or is gone,
    // or its old place (in another folder) is taken. A new folder is only ever removed empty
    // (rmdir), whatever happened in it meanwhile; rmdir says whether it is.
    std::optional<QString> blockerOf(const journal::Item &item)
    {
        if (item.op != journal::Op::NewFolder && stampOf(native(item.to)) != item.stamp) {
            return QStringLiteral(
                "「%1」は記録の後で変更されたか、見つからないため、元に戻しませんでした。")
                .arg(shown(item.to));
        }
        const bool elsewhere = item.op == journal::Op::Trash
            || (item.op == journal::Op::Move && parentOf(item.to) != parentOf(item.from));
        if (elsewhere && exists(item.from))
            return Collector::takenText(item.from);
        return std::nullopt;
    }

    // Undoes the items of `entry`, newest first; true for each item that was undone.
    std::vector<bool> undoItems(Collector &collector,
        UndoJournal &journal,
        const journal::Entry &entry,
        QStringList &refused,
        const FileSystemSeams &seams)
    {
        // Moves back to another folder are recorded before they begin: one cut short by a kill
        // is finished by the next undo or by recovery.
        MoveIntent intent(collector, journal);
        const std::size_t n = entry.items.size();
        std::vector<bool> done(n, false);
        // Renames within one folder go back as one run, so that a swap or a chain can be
        // reversed: its pairs and the items they stand for.
        std::map<std::string, std::vector<std::pair<QByteArray, QByteArray>>> runs;
        std::map<std::string, std::vector<std::size_t>> runItems;
        for (std::size_t i = n; i-- > 0;) {
            const journal::Item &item = entry.items[i];
            if (const std::optional<QString> why = blockerOf(item)) {
                refused << *why;
                continue;
            }
            const std::string folder(parentOf(item.to));
            int undone = 0;
            switch (item.op) {
            case journal::Op::Move:
                if (folder == parentOf(item.from)) {
                    runs[folder].emplace_back(native(std::string(lastComponent(item.to))),
                        native(std::string(lastComponent(item.from))));
                    runItems[folder].push_back(i);
                } else {
                    intent.beginUndo(entry.action, item);
                    undone = FileOperations(collector, seams)
                                 .move({native(item.to)}, {native(item.from)})
                                 .ok
                        ? 1
                        : 0;
                }
                break;
            case journal::Op::Copy:
                if (const std::string edited = editedInCopy(item, entry.time); !edited.empty()) {
                    refused << QStringLiteral(
                        "「%1」はコピーの後で変更されたため、ごみ箱へ移しません"
                        "でした。")
                                   .arg(shown(edited));
                } else {
                    undone = FileOperations(collector).remove({native(item.to)}).ok ? 1 : 0;
                }
                break;
            case journal::Op::Trash:
                restoreFromTrash(collector, item, undone);
                break;
            case journal::Op::NewFolder:
                removeNewFolder(collector, item, undone);
                break;
            case journal::Op::Patch:
                undoPatch(collector, item, undone);
                break;
            }
            done[i] = undone > 0;
        }
        for (const auto &[folder, renames] : runs) {
            const std::vector<bool> back =
                renameRun(collector, journal, native(folder), renames, nullptr);
            for (std::size_t k = 0; k < back.size(); ++k)
                done[runItems[folder][k]] = back[k];
        }
        intent.end();
        return done;
    }

} // namespace

UndoReport undoLast(Prompter &prompter, UndoJournal &journal, const FileSystemSeams &seams)
{
    UndoReport report;
    // An undo that a kill cut short is finished first, and is this undo; a killed move or
    // rename run is finished and journaled, and is then the newest entry.
    const Recovery recovered = recoverRuns(prompter, journal);
    if (recovered.undone > 0) {
        report.found = true;
        report.action = actionLabel(recovered.undoneAction);
        report.undone = recovered.undone;
        return report;
    }
    QString error;
    const std::optional<journal::Entry> entry = journal.last(&error);
    if (!entry) {
        if (!error.isEmpty())
            report.refused << error;
        return report;
    }
    report.found = true;
    report.action = actionLabel(entry->action);
    // The entry leaves the journal only after its items are back; a journal that cannot be
    // written now would keep an entry whose undo is done, so nothing is undone then.
    if (!journal.replace(*entry, *entry, &error)) {
        report.refused << error;
        return report;
    }
    Collector collector(prompter, report.refused);
    const std::vector<bool> done = undoItems(collector, journal, *entry, report.refused, seams);
    // What was refused stays as the newest entry, so that the undo can be tried again.
    journal::Entry left = *entry;
    left.items.clear();
    for (std::size_t i = 0; i < done.size(); ++i) {
        if (done[i])
            ++report.undone;
        else
            left.items.push_back(entry->items[i]);
    }
    if (!journal.replace(*entry,
            left.items.empty() ? std::nullopt : std::optional<journal::Entry>(left),
            &error))
        report.refused << error;
    return report;
}

QStringList undoBlockers(const journal::Entry &entry)
{
    QStringList out;
    for (auto item = entry.items.rbegin(); item != entry.items.rend(); ++item) {
        if (const std::optional<QString> why = blockerOf(*item))
            out << *why;
    }
    return out;
}

} // namespace morvane::files
